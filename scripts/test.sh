#!/usr/bin/env bash
# Builds and runs the whole test suite twice: an optimised build in build/ and
# an AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/; then
# the browser build in build-web/ and its tests in Chromium, the fuzzers
# briefly, the Windows build under Wine, and the Debian package (installed
# into this machine and removed again).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
ensure_packages $TEST_PACKAGES

jobs=$(nproc)
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

echo "== Optimised build"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DVELTRIX_WERROR=ON
cmake --build "$root/build" -j"$jobs"
(cd "$root/build" && ctest --output-on-failure -j"$jobs")

echo "== Browser build and tests in Chromium"
# The tests compare the page's frames with build/bin/veltrix-replay's.
bash "$root/scripts/web.sh"
ensure_npm
(cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error && npm test)

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIX_WERROR=ON \
    -DVELTRIX_SANITIZE=ON -DVELTRIX_BENCH=OFF
cmake --build "$root/build-asan" -j"$jobs"
(cd "$root/build-asan" && ctest --output-on-failure -j"$jobs")

echo "== ThreadSanitizer build of the frame tests"
# Frames drawn by several threads: the exact frames with 1, 2, 3 and 7, the
# allocation test and the pool running dry with several workers; a dropped
# file read on a thread of its own.
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIX_WERROR=ON \
    -DVELTRIX_SANITIZE_THREAD=ON -DVELTRIX_BENCH=OFF
cmake --build "$root/build-tsan" -j"$jobs" --target test_render test_app veltrix-replay
(cd "$root/build-tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j"$jobs" \
    -R "ExactFrames|FrameTick|PoolRunningDry|^Load\.")

echo "== Fuzz targets, briefly"
bash "$root/scripts/fuzz.sh" 20

echo "== Windows build under Wine"
bash "$root/scripts/windows.sh"
bash "$root/tests/windows/run.sh"

echo "== Debian package"
bash "$root/tests/package/run.sh"
