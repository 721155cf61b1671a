#!/usr/bin/env bash
# Installs the built client for the current user and makes it the handler of
# "zarn://" links: the program goes into a folder its user can write (it keeps
# zarn.ini and error_handler.txt beside itself), a .desktop file registers it
# for x-scheme-handler/zarn. Run scripts/build.sh first.
#
#   bash scripts/install.sh [folder]   (default: ~/.local/share/zarn)
# ZARN_PROGRAM names another built program than build/zarn.
set -euo pipefail
cd "$(dirname "$0")/.."
data=${XDG_DATA_HOME:-$HOME/.local/share}
folder=${1:-$data/zarn}
program=${ZARN_PROGRAM:-build/zarn}
[ -x "$program" ] || { echo "$program is missing: run scripts/build.sh first" >&2; exit 1; }
mkdir -p "$folder" "$data/applications"
cp "$program" "$folder/zarn.new" && mv -f "$folder/zarn.new" "$folder/zarn"

# The desktop hands over the bare link; zarn expects it the way the Windows
# launcher passes it: a quote, the link, "/", a quote.
cat > "$folder/zarn-link" <<'LINK'
#!/bin/sh
exec "$(dirname "$0")/zarn" "\"$1/\""
LINK
chmod +x "$folder/zarn-link"

desktop=$data/applications/zarn.desktop
cat > "$desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=zarn
Comment=Prints what a web page sends through a zarn:// link
Exec="$folder/zarn-link" %u
Terminal=false
NoDisplay=true
MimeType=x-scheme-handler/zarn;
DESKTOP

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
command -v update-desktop-database >/dev/null 2>&1 && update-desktop-database -q "$data/applications" || true
echo "installed: $folder/zarn"
echo "link handler: $desktop"
