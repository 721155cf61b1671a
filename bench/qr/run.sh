#!/usr/bin/env bash
# Runs bench_qr and fails unless tracing a symbol costs less than the
# library's encoding of the same symbol, for every version measured.
# Usage: bench/qr/run.sh [build folder, default build]
set -euo pipefail
build=${1:-build}
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build/bench_qr" --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json \
  --benchmark_format=console
python3 - "$json" <<'PY'
import json, sys
runs = {b["name"]: b["cpu_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]}
ok = True
for v in (1, 10, 40):
    enc, tr = runs[f"BM_LibraryEncode/{v}"], runs[f"BM_TraceOutlines/{v}"]
    pic = runs[f"BM_CreateQrPicture/{v}"]
    print(f"version {v:2}: encode {enc:9.1f} us CPU, trace {tr:8.1f} us, picture {pic:9.1f} us, trace/encode {tr/enc:.3f}")
    ok &= tr < enc
sys.exit(0 if ok else 1)
PY
