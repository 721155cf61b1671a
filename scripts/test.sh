#!/usr/bin/env bash
# Fresh machine to test results: installs the dependencies, builds, and runs
# every test under a virtual X display (the client's window and clipboard are real).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2
fi
exec ctest --output-on-failure -j2
