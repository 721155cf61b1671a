#!/usr/bin/env bash
# Prints the folder of the Qt kit for Windows: ZARN_WINDOWS_KIT, else
# ../shared/windows-kit, else (from a git worktree elsewhere) the one beside
# the main checkout. Exits 1, printing the folder it looked in, when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
kit=${ZARN_WINDOWS_KIT:-$(cd .. && pwd)/shared/windows-kit}
common=$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null || true)
if [ -z "${ZARN_WINDOWS_KIT:-}" ] && [ ! -d "$kit/qt6" ] && [ -n "$common" ]; then
  kit=$(cd "$common/../.." && pwd)/shared/windows-kit
fi
if [ ! -d "$kit/qt6" ]; then
  echo "$kit"
  exit 1
fi
cd "$kit" && pwd
