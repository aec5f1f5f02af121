#!/usr/bin/env bash
# Sets up the machine for the program, builds it and runs it with the words
# given (scripts/run.sh --sky). The program is build/launcher/kalvora, to be
# run again without this. It needs an X display: without one this stops after
# building and says how to run it under a virtual one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" build -DKALVORA_TESTS=OFF -DKALVORA_BENCH=OFF
program="$top/build/launcher/kalvora"
if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: built $program, but it needs an X display and DISPLAY is not set; to run it under a virtual one nobody sees: xvfb-run -a $program (xvfb-run is in the package xvfb)" >&2
  exit 1
fi
exec "$program" "$@"
