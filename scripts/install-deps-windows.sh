#!/usr/bin/env bash
# Installs what cross-building Windows zarn and testing it under Wine needs
# (Debian, as root), on top of scripts/install-deps.sh. Safe to run again.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix qt6-base-dev-tools wine wine64 nsis googletest ninja-build xdotool xclip xvfb poppler-utils)
bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
