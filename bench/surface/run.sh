#!/usr/bin/env bash
# One invoice page (60 texts, 20 boxes, a gradient of 100 segments, a logo)
# into a PDF file: milliseconds per page for QPainter straight on a QPdfWriter
# (the floor), through QtPrintSurface, and as a print script through the
# engine, all in-process; then the whole client, build/zarn, from start to the
# PDF written, against a print service on 127.0.0.1. Fails when the surface's
# overhead over the floor reaches 15 %.
# Usage: bench/surface/run.sh [build folder, default build] [whole-process runs, default 10]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build}" && pwd)
runs=${2:-10}
work=$(mktemp -d)
service=
cleanup() {
  [ -n "$service" ] && kill "$service" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

QT_QPA_PLATFORM=offscreen "$build/bench_surface" --benchmark_out="$work/bench.json" \
  --benchmark_out_format=json --benchmark_format=console >/dev/null 2>&1
python3 - "$work/bench.json" <<'PY'
import json, sys
runs = {b["run_name"].split("/")[0]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
floor, surface, script = (runs[f"BM_Invoice{n}"] for n in ("Floor", "Surface", "Script"))
print(f"floor (QPainter on QPdfWriter): {floor:6.2f} ms/page")
print(f"QtPrintSurface:                 {surface:6.2f} ms/page  (+{(surface / floor - 1) * 100:.1f} % over the floor)")
print(f"print script through the engine:{script:6.2f} ms/page  (+{(script / floor - 1) * 100:.1f} % over the floor)")
open(sys.argv[1] + ".ok", "w").write("1" if surface < 1.15 * floor else "0")
PY

# The whole process: a copy of the client with a settings file (no PDF copy),
# its documents folder in the work folder, the invoice served on loopback.
QT_QPA_PLATFORM=offscreen "$build/bench_surface" --write-script "$work"
mkdir -p "$work/app" "$work/home"
cp "$build/zarn" "$work/app/zarn"
printf '0\r\n%s\r\n' "$work/pdf" > "$work/app/zarn.ini"
python3 "$root/examples/sample_service.py" "$work/invoice.txt" --requests $((runs + 1)) --seconds 300 \
  > "$work/service.out" 2>/dev/null &
service=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^port //p' "$work/service.out" 2>/dev/null || true)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "the print service did not start" >&2; exit 1; }
link="zarn://$(printf '%s' "127.0.0.1:$port/print?job=invoice" | base64 -w0)"
cat > "$work/runs.sh" <<'INNER'
#!/usr/bin/env bash
# Runs zarn $3 times; prints the milliseconds of each run.
set -euo pipefail
work=$1 link=$2 runs=$3
for i in $(seq "$runs"); do
  start=$(date +%s%N)
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" timeout 60 "$work/app/zarn" "\"$link/\""
  echo $(( ($(date +%s%N) - start) / 1000000 ))
done
INNER
if [ -n "${DISPLAY:-}" ]; then
  times=$(bash "$work/runs.sh" "$work" "$link" "$runs")
else
  times=$(xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/runs.sh" "$work" "$link" "$runs")
fi
pdfs=$(find "$work/home" -name '*.pdf' | wc -l)
[ "$pdfs" -eq "$runs" ] || { echo "expected $runs PDF files from the client, found $pdfs" >&2; exit 1; }
pages=$(pdfinfo "$(find "$work/home" -name '*.pdf' | head -1)" | sed -n 's/^Pages: *//p')
sorted=$(printf '%s\n' $times | sort -n)
median=$(printf '%s\n' $sorted | sed -n "$(( (runs + 1) / 2 ))p")
echo "build/zarn, start to PDF written: median $median ms over $runs runs ($(echo $sorted | tr ' ' ',') ms), $pages page each"
[ "$(cat "$work/bench.json.ok")" = 1 ] || { echo "the surface's overhead is 15 % or more" >&2; exit 1; }
