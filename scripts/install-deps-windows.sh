#!/usr/bin/env bash
# Installs what cross-building Windows zarn and testing it under Wine needs
# (Debian, as root), on top of scripts/install-deps.sh. Safe to run again.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix qt6-base-dev-tools wine wine64 nsis googletest ninja-build xdotool xclip xvfb poppler-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
