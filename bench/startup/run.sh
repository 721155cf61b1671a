#!/usr/bin/env bash
# Start-up of the client: process start to the first service request (a
# loopback service records when it arrives), beside zarn-render of an empty
# script from start to exit, and the floor (bench/startup/floor.cpp: a Qt
# window, then one libcurl GET; built with the benchmarks); fails unless the
# client's median is under 50 ms.
# Runs on DISPLAY, or on a virtual display (xvfb-run) when there is none.
# Usage: bench/startup/run.sh [build folder, default build] [--compare OTHER_ZARN ...]
set -euo pipefail
build=${1:-build}
shift || true
floor=()
[ -x "$build/startup_floor" ] && floor=(--floor "$build/startup_floor")
bench=(python3 "$(dirname "$0")/startup.py" "$build/zarn" "$build/zarn-render" 15 "${floor[@]}" "$@")
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "${bench[@]}"
fi
exec "${bench[@]}"
