#!/usr/bin/env bash
# Builds and runs every test: the full build with CTest, then the core, desktop and screen saver
# tests again under AddressSanitizer + UndefinedBehaviorSanitizer (our code instrumented, Qt as
# Debian ships it) and the threading tests under ThreadSanitizer, and the fuzz targets for a
# bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"

jobs=$(nproc)
run_build() { # folder, ctest args, cmake args...
  local dir=$1 ctest_args=$2; shift 2
  echo "==> $dir" >&2
  cmake -S "$root" -B "$root/$dir" -G Ninja "$@"
  cmake --build "$root/$dir" -j "$jobs"
  # shellcheck disable=SC2086
  (cd "$root/$dir" && ctest --output-on-failure -j "$jobs" $ctest_args)
}

run_build build "" -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Leaks inside the libraries Qt loads are not ours: scripts/lsan.supp names them.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0 \
  run_build build-asan "-L core|desktop|saver" -DCMAKE_BUILD_TYPE=Debug -DQUEL_CORE_ONLY=OFF -DQUEL_SANITIZE=asan
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_build build-tsan "-L threading" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUEL_CORE_ONLY=ON -DQUEL_SANITIZE=tsan
# Every fuzz target for about a minute in all (clang 14, libFuzzer).
"$root/scripts/fuzz.sh"
echo "All tests passed." >&2
