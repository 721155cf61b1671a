#!/usr/bin/env bash
# Installs every package that building and testing zarn needs (Debian, as root).
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(
  cmake g++ make pkg-config clang-14 libclang-rt-14-dev
  qt6-base-dev libqt6printsupport6 libgl-dev libxcb1-dev dbus
  libcurl4-openssl-dev
  libqrcodegencpp-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  poppler-utils xvfb xauth xclip x11-utils xdotool imagemagick xdg-utils desktop-file-utils tesseract-ocr
  dpkg-dev file
  python3 openssl nodejs python3-pytest python3-pip python3-wheel python3-setuptools
  cups cups-client cups-bsd libcups2-dev
  zbar-tools
  locales
  fonts-dejavu-core fonts-liberation
)
# npm comes with some Node builds; Debian's nodejs needs its own package.
command -v npm >/dev/null 2>&1 || packages+=(npm)
bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
