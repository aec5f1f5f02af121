#!/usr/bin/env bash
# Sets up the machine, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test once (under Xvfb when there
# is no display). Any sanitizer report fails the test that made it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" build-asan -DKALVORA_SANITIZE=ON -DKALVORA_WERROR=ON
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
# Without a session bus every process that starts SDL tries to start one,
# which costs a tenth of a second at each exit.
export DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-disabled:}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
# Mesa's shader-cache thread leaves dynamic TLS behind that LeakSanitizer's
# exit scan sometimes crashes on (under load, in a GL test that compiles a
# new shader); the cache buys nothing in a test run.
export MESA_SHADER_CACHE_DISABLE=true
cd "$top/build-asan"
run=(ctest --output-on-failure -j "$(nproc)" --timeout 600)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"
fi
exec "${run[@]}"
