#!/usr/bin/env bash
# Sets up the machine, builds the program and runs it (under Xvfb when there is no display).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" build -DKALVORA_TESTS=OFF -DKALVORA_BENCH=OFF
cd "$top/build/launcher"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ./kalvora "$@"
fi
exec ./kalvora "$@"
