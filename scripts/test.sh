#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: the plain
# build, the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and a
# short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc)

echo "== plain build"
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DPACHE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer: the tests that run threads"
# The copy worker beside the frame loop, the message queue and the window
# systems called across threads, the host's threads and instance channel.
threaded='^(FaultSweep|PatchRun|CopyRun|SecondInstance|RunFrameLoop|MainWindowProc|MessageQueueTest|FakeWindowSystemTest|FakeSystemTest|HostSystemTest|HeadlessTest|HostFileSystemTest)\.'
cmake -S . -B build-tsan -G Ninja -DPACHE_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-tsan --target unit_tests host_tests
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R "$threaded"

echo "== short fuzz runs"
scripts/fuzz.sh "${PACHE_FUZZ_SECONDS:-15}"
