#!/usr/bin/env bash
# Line coverage of each library from one run of the whole suite:
#   scripts/coverage.sh [build folder, default build-coverage]
# Builds without sanitizers and without optimisation (so lines map to code),
# runs every test (on an Xvfb display of its own), and prints the
# covered share of base, platform, gui, scene and launcher. It leaves
# <folder>/coverage.json (every line's count, read by scripts/mutate.py) and
# <folder>/coverage.txt (the summary). Exits non-zero when a test failed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-build-coverage}
build="$top/$folder"
"$top/scripts/setup.sh" --tests
# Atomic counters: the threaded tests would otherwise race on them and
# report counts that are off, or lines missed.
flags="--coverage -fprofile-update=atomic"
"$top/scripts/build.sh" "$folder" -DCMAKE_BUILD_TYPE=Debug -DKALVORA_BENCH=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
  -DCMAKE_MODULE_LINKER_FLAGS=--coverage

# Counts from an earlier run would add to this one's.
find "$build" -name '*.gcda' -delete

export DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-disabled:}"
export MESA_SHADER_CACHE_DISABLE=true
run=(ctest --output-on-failure -j "${KALVORA_JOBS:-$(nproc)}" --timeout 600)
status=0
# On an X server of its own, as the test command runs them.
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "${run[@]}") || status=$?

libraries=(base platform gui scene launcher)
filters=()
for l in "${libraries[@]}"; do filters+=(--filter "$l/"); done
# gcovr's parallel gcov runs lose files now and then; one at a time is sure.
(cd "$top" && gcovr --root "$top" "${filters[@]}" --object-directory "$build" \
  --gcov-exclude '.*CMakeFiles/[0-9.]+/.*' --gcov-ignore-parse-errors --json "$build/coverage.json" "$build")

python3 - "$build/coverage.json" "${libraries[@]}" <<'EOF' | tee "$build/coverage.txt"
import json, sys
data = json.load(open(sys.argv[1]))
libraries = sys.argv[2:]
totals = {l: [0, 0] for l in libraries}
for f in data["files"]:
    lib = f["file"].split("/")[0]
    if lib not in totals:
        continue
    for line in f["lines"]:
        if line.get("gcovr/noncode"):
            continue
        totals[lib][1] += 1
        totals[lib][0] += line["count"] > 0
print(f"{'library':<10}{'covered':>9}{'lines':>8}{'share':>9}")
for lib in libraries:
    covered, lines = totals[lib]
    share = 100.0 * covered / lines if lines else 0.0
    print(f"{lib:<10}{covered:>9}{lines:>8}{share:>8.1f}%")
EOF
if [ "$status" -ne 0 ]; then
  echo "coverage: some tests failed (ctest status $status); the numbers above miss what they would have run" >&2
fi
exit "$status"
