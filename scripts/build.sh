#!/usr/bin/env bash
# Configures and builds one build folder: build.sh <folder> [cmake options...]
# KALVORA_JOBS sets the number of parallel compiles (default: every core);
# ccache is used when it is installed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=$1
shift
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$top/$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$top/$folder" -j "${KALVORA_JOBS:-$(nproc)}"
