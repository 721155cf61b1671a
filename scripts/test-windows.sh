#!/usr/bin/env bash
# The Windows stage: cross-builds Windows zarn (scripts/build-windows.sh),
# runs the unit tests under Wine, then the installer and one job end to end
# (tests/windows/e2e_windows.py), all under a virtual X display. Without the
# Qt kit for Windows it says so in one line and passes.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! kit=$(bash scripts/windows-kit.sh); then
  echo "Windows stage skipped: no Qt kit for Windows in $kit (set ZARN_WINDOWS_KIT)"
  exit 0
fi
started=$(date +%s)
bash scripts/install-deps-windows.sh
ZARN_WINDOWS_KIT=$kit bash scripts/build-windows.sh -DZARN_TESTS=ON
export WINEDEBUG=-all WINEPREFIX=${ZARN_WINE_PREFIX:-$PWD/build-windows/wine-prefix}
run() {
  if [ -z "${DISPLAY:-}" ]; then xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; else "$@"; fi
}
(cd build-windows && run ctest --output-on-failure -j2)
installer=$(ls build-windows/zarn-*-win64.exe | head -1)
run python3 tests/windows/e2e_windows.py "$installer" "$PWD"
wineserver -k 2>/dev/null || true
echo "Windows stage: $(( $(date +%s) - started )) s"
