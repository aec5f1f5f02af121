#!/usr/bin/env bash
# Sets up the machine, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test once on a virtual X display
# (Xvfb) of its own. Any sanitizer report fails the test that made it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" --tests
"$top/scripts/build.sh" build-asan -DKALVORA_SANITIZE=ON -DKALVORA_WERROR=ON
# GCC 12's runtime finds the bounds of a dynamic TLS block from a header that
# glibc 2.19 put before it. glibc now takes the block from malloc, so a block
# that happens to start 16 bytes past a page reads the allocator's chunk
# header as its bounds, and LeakSanitizer's exit scan crashes on that range
# ("Tracer caught signal 11"). The blocks are heap chunks that the thread's
# TLS vector points to, so the leak scan reaches them all the same.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0"
# Without a session bus every process that starts SDL tries to start one,
# which costs a tenth of a second at each exit.
export DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-disabled:}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
# The shader cache buys nothing in a test run: each test compiles anew, and
# its thread and files under ~/.cache only cost time.
export MESA_SHADER_CACHE_DISABLE=true
cd "$top/build-asan"
run=(ctest --output-on-failure -j "$(nproc)" --timeout 600)
# The tests run on an X server of their own, even from a desktop session: a
# window manager, a user's pointer or keys on a shared display would change
# what they see. An X server resets when its last client leaves and refuses
# whoever is connecting meanwhile; with tests coming and going that happens
# all the time, hence -noreset.
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "${run[@]}"
