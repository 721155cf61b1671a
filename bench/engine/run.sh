#!/usr/bin/env bash
# Runs bench_engine and fails unless the interpreter executes at least two
# million mixed lines a second and the per-item cost of long lines, gradients
# and word wrap stays flat (within 1.5 times) when their size doubles or more.
# Usage: bench/engine/run.sh [build folder, default build]
set -euo pipefail
build=${1:-build}
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build/bench_engine" --benchmark_out="$json" --benchmark_out_format=json --benchmark_format=console
python3 - "$json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
ok = True
for size in (100000, 1000000):
    rate = runs[f"BM_MixedScript/{size}"]["lines/s"]
    print(f"mixed script, {size:7} lines: {rate / 1e6:.2f} million lines/s (target 2)")
    ok &= rate >= 2e6
pairs = [("BM_LongLine", 1000000, 10000000, "s/char"), ("BM_Gradient", 10000, 20000, "s/segment"),
         ("BM_SplitLines", 16000, 32000, "s/char"), ("BM_WrapText", 50000, 100000, "s/char")]
for name, small, large, unit in pairs:
    a, b = runs[f"{name}/{small}"][unit] * 1e9, runs[f"{name}/{large}"][unit] * 1e9
    print(f"{name}: {a:.2f} ns at {small}, {b:.2f} ns at {large} per {unit[2:]}")
    ok &= b < 1.5 * a
sys.exit(0 if ok else 1)
PY
