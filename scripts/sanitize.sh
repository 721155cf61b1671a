#!/usr/bin/env bash
# The whole test suite once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZARN_SANITIZE=ON -DZARN_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
cd build-asan
# Qt and fontconfig keep caches for the process's life; those are not our leaks.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run=(ctest --output-on-failure -j2 -E "${ZARN_SANITIZE_EXCLUDE:-^$}")
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"; fi
exec "${run[@]}"
