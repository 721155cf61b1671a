#!/usr/bin/env bash
# Cross-builds Windows zarn on Debian into build-windows/: the programs and
# tests, the folder build-windows/zarn/ that runs as it is (copy it anywhere),
# and the installer build-windows/zarn-<version>-win64.exe.
# The Qt kit: ../shared/windows-kit, or the folder in ZARN_WINDOWS_KIT.
# Extra arguments go to cmake. Needs scripts/install-deps-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
kit=${ZARN_WINDOWS_KIT:-$(cd .. && pwd)/shared/windows-kit}
# In a git worktree elsewhere, the kit lies beside the main checkout.
common=$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
if [ -z "${ZARN_WINDOWS_KIT:-}" ] && [ ! -d "$kit/qt6" ] && [ -n "$common" ]; then
  kit=$(cd "$common/../.." && pwd)/shared/windows-kit
fi
if [ ! -d "$kit/qt6" ]; then
  echo "build-windows.sh: no Qt kit for Windows in $kit (set ZARN_WINDOWS_KIT)" >&2
  exit 2
fi
kit=$(cd "$kit" && pwd)
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
