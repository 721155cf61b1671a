#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (build-fuzz/) and runs each for a bounded time.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# Seeds come from tests/fuzz/corpus/<target>/ and the example scripts; inputs
# that crash are kept in build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(decoding parse_print split_lines qr_trace)

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZARN_FUZZ=ON -DZARN_SANITIZE=ON -DZARN_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  findings=build-fuzz/findings/$t
  mkdir -p "$corpus" "$findings"
  cp -n tests/fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  if [ "$t" = parse_print ] || [ "$t" = split_lines ]; then
    cp -n examples/scripts/* "$corpus"/ 2>/dev/null || true
  fi
  echo "== fuzz_$t for ${seconds}s"
  if ! build-fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
      -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" 2>build-fuzz/fuzz_"$t".log; then
    status=1
    tail -n 60 build-fuzz/fuzz_"$t".log
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+ +DONE' build-fuzz/fuzz_"$t".log || true
done
exit $status
