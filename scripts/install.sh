#!/usr/bin/env bash
# Installs the built client for the current user and makes it the handler of
# "zarn://" links: `cmake --install` puts the programs, the link handler, the
# .desktop file, the icon, an example settings file and the man pages into
# one folder its user can write (the program keeps zarn.ini and
# error_handler.txt beside itself); the .desktop file is then registered for
# x-scheme-handler/zarn, and zarn, zarn-render and their man pages are linked
# into ~/.local/bin and ~/.local/share/man. Run scripts/build.sh first.
#
#   bash scripts/install.sh [folder]               (default: ~/.local/share/zarn)
#   bash scripts/install.sh --uninstall [folder]
# --uninstall removes what the install put there, the links and the handler
# registration, and leaves the user's files alone: zarn.ini, the error log,
# qrcode.bmp, downloads and PDF files. What it removes is what its own record
# names, kept outside the program folder (where a script's download could
# write) under ~/.local/state/zarn, and only while each file still has the
# content it was installed with.
# ZARN_BUILD names another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."
uninstall=false
if [ "${1:-}" = --uninstall ]; then uninstall=true; shift; fi
data=${XDG_DATA_HOME:-$HOME/.local/share}
config=${XDG_CONFIG_HOME:-$HOME/.config}
folder=$(realpath -m "${1:-$data/zarn}")
build=${ZARN_BUILD:-build}
applications=$data/applications
bin=$HOME/.local/bin
man=$data/man/man1
# What this script installed: "sha256  path" a line (a link: "link  path"),
# one record per install folder, outside that folder.
state=${XDG_STATE_HOME:-$HOME/.local/state}/zarn
manifest=$state/installed-$(printf '%s' "$folder" | sha256sum | cut -c1-16)
# Where an install before this record kept its list: in the folder itself.
old_manifest=$folder/.installed-files

# The registration as xdg-mime writes it: the default handler in mimeapps.list.
unregister() {
  local list
  for list in "$config/mimeapps.list" "$applications/mimeapps.list"; do
    [ -f "$list" ] && sed -i '/^x-scheme-handler\/zarn=zarn\.desktop;\?$/d' "$list"
  done
  return 0
}

# The install's own names: the only paths an old in-folder list may remove.
own_path() {
  case "$1" in
    "$folder"/zarn|"$folder"/zarn-link|"$folder"/zarn-render|"$folder"/zarn.desktop|"$folder"/zarn.svg) return 0 ;;
    "$folder"/zarn.ini.example|"$folder"/man/man1/zarn.1|"$folder"/man/man1/zarn-render.1) return 0 ;;
    "$applications"/zarn.desktop|"$bin"/zarn|"$bin"/zarn-render|"$man"/zarn.1|"$man"/zarn-render.1) return 0 ;;
  esac
  return 1
}

if $uninstall; then
  if [ -f "$manifest" ]; then
    while read -r sum path; do
      [ -n "$path" ] || continue
      if [ "$sum" = link ]; then
        [ -L "$path" ] && rm -f -- "$path"
      elif [ -f "$path" ] && [ ! -L "$path" ] && [ "$(sha256sum < "$path" | cut -d' ' -f1)" = "$sum" ]; then
        rm -f -- "$path"
      elif [ -e "$path" ]; then
        echo "kept $path: it is no longer the file the install put there" >&2
      fi
    done < "$manifest"
    rm -f -- "$manifest"
  elif [ -f "$old_manifest" ]; then
    while IFS= read -r path; do
      own_path "$path" && { [ -f "$path" ] || [ -L "$path" ]; } && rm -f -- "$path"
    done < "$old_manifest"
  else
    echo "nothing installed in $folder (no $manifest)" >&2
    exit 1
  fi
  rm -f -- "$old_manifest"
  unregister
  command -v update-desktop-database >/dev/null 2>&1 && update-desktop-database -q "$applications" || true
  # Folders the install made, when nothing of the user's is left in them.
  for dir in "$folder/man/man1" "$folder/man" "$folder/pdf" "$folder" "$man"; do
    rmdir -- "$dir" 2>/dev/null || true
  done
  echo "removed zarn from $folder"
  [ -d "$folder" ] && echo "left there: $(ls -A "$folder" | tr '\n' ' ')"
  exit 0
fi

[ -x "$build/zarn" ] || { echo "$build/zarn is missing: run scripts/build.sh first" >&2; exit 1; }
cmake --install "$build" --prefix "$folder" >/dev/null
installed=$(sed 's|/\./|/|' "$build/install_manifest.txt")

mkdir -p "$applications" "$bin" "$man"
cp "$folder/zarn.desktop" "$applications/zarn.desktop"
ln -sfn "$folder/zarn" "$bin/zarn"
ln -sfn "$folder/zarn-render" "$bin/zarn-render"
ln -sfn "$folder/man/man1/zarn.1" "$man/zarn.1"
ln -sfn "$folder/man/man1/zarn-render.1" "$man/zarn-render.1"
mkdir -p "$state"
rm -f -- "$old_manifest"
{
  while IFS= read -r path; do
    [ -f "$path" ] && printf '%s  %s\n' "$(sha256sum < "$path" | cut -d' ' -f1)" "$path"
  done <<< "$installed"$'\n'"$applications/zarn.desktop"
  for path in "$bin/zarn" "$bin/zarn-render" "$man/zarn.1" "$man/zarn-render.1"; do
    printf 'link  %s\n' "$path"
  done
} > "$manifest"

if command -v xdg-mime >/dev/null 2>&1; then
  xdg-mime default zarn.desktop x-scheme-handler/zarn
else
  # What xdg-mime would write: the default handler in the user's mimeapps.list.
  mkdir -p "$config"
  list=$config/mimeapps.list
  touch "$list"
  grep -q '^\[Default Applications\]' "$list" || printf '[Default Applications]\n' >> "$list"
  # Whatever handled zarn:// before: one default per type.
  sed -i '/^x-scheme-handler\/zarn=/d' "$list"
  sed -i 's|^\[Default Applications\]$|[Default Applications]\nx-scheme-handler/zarn=zarn.desktop|' "$list"
fi
command -v update-desktop-database >/dev/null 2>&1 && update-desktop-database -q "$applications" || true
echo "installed: $folder/zarn"
echo "link handler: $applications/zarn.desktop"
echo "commands: $bin/zarn, $bin/zarn-render (man zarn, man zarn-render)"
echo "PDF copies: cp $folder/zarn.ini.example $folder/zarn.ini"
