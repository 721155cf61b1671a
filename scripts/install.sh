#!/usr/bin/env bash
# Installs the built client for the current user and makes it the handler of
# "zarn://" links: `cmake --install` puts the program, its link handler, the
# .desktop file, the icon and an example settings file into one folder its
# user can write (the program keeps zarn.ini and error_handler.txt beside
# itself); the .desktop file is then registered for x-scheme-handler/zarn.
# Run scripts/build.sh first.
#
#   bash scripts/install.sh [folder]   (default: ~/.local/share/zarn)
# ZARN_BUILD names another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."
data=${XDG_DATA_HOME:-$HOME/.local/share}
folder=${1:-$data/zarn}
build=${ZARN_BUILD:-build}
[ -x "$build/zarn" ] || { echo "$build/zarn is missing: run scripts/build.sh first" >&2; exit 1; }
cmake --install "$build" --prefix "$folder" >/dev/null

applications=$data/applications
mkdir -p "$applications"
cp "$folder/zarn.desktop" "$applications/zarn.desktop"
if command -v xdg-mime >/dev/null 2>&1; then
  xdg-mime default zarn.desktop x-scheme-handler/zarn
else
  # What xdg-mime would write: the default handler in the user's mimeapps.list.
  config=${XDG_CONFIG_HOME:-$HOME/.config}
  mkdir -p "$config"
  list=$config/mimeapps.list
  touch "$list"
  grep -q '^\[Default Applications\]' "$list" || printf '[Default Applications]\n' >> "$list"
  sed -i '/^x-scheme-handler\/zarn=/d' "$list"
  sed -i 's|^\[Default Applications\]$|[Default Applications]\nx-scheme-handler/zarn=zarn.desktop|' "$list"
fi
command -v update-desktop-database >/dev/null 2>&1 && update-desktop-database -q "$applications" || true
echo "installed: $folder/zarn"
echo "link handler: $applications/zarn.desktop"
echo "PDF copies: cp $folder/zarn.ini.example $folder/zarn.ini"
