#!/usr/bin/env bash
# Cross-builds Windows zarn on Debian into build-windows/: the programs and
# tests, the folder build-windows/zarn/ that runs as it is (copy it anywhere),
# and the installer build-windows/zarn-<version>-win64.exe.
# The Qt kit: ../shared/windows-kit, or the folder in ZARN_WINDOWS_KIT.
# Extra arguments go to cmake. Needs scripts/install-deps-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! kit=$(bash scripts/windows-kit.sh); then
  echo "build-windows.sh: no Qt kit for Windows in $kit (set ZARN_WINDOWS_KIT)" >&2
  exit 2
fi
export PKG_CONFIG_LIBDIR="$kit/qrcodegen/lib/pkgconfig"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DZARN_WINDOWS_KIT="$kit" \
  -DCMAKE_BUILD_TYPE=Release -DZARN_BENCH=OFF "${launcher[@]}" "$@" >/dev/null
cmake --build build-windows -j"${ZARN_JOBS:-$(nproc)}"
# The runnable folder, then the installer made from it.
cmake --build build-windows --target windows-folder
(cd build-windows && cpack -G NSIS >/dev/null)
ls build-windows/zarn-*-win64.exe
