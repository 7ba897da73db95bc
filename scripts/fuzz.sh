#!/usr/bin/env bash
# Builds the fuzz targets (clang 14, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer)
# in build-fuzz and runs each one from its seed corpus in tests/fuzz/corpus/<target>/; fails on
# any finding (a crash, a sanitizer report, a broken property, a leak, a timeout).
#
#   scripts/fuzz.sh                about 60 seconds in all, shared by the targets (scripts/test.sh)
#   scripts/fuzz.sh --seconds N    N seconds in all
#   scripts/fuzz.sh --runs N       N executions per target (the long run: --runs 1000000)
#   --target NAME                  only that target (may be given more than once)
#   --merge                        afterwards, add to the seed folder the fewest new inputs that
#                                  cover what the seeds do not (libFuzzer -merge=1)
#
# Each target reports its executions, their rate, and its coverage (libFuzzer's cov:) at the
# start and at the end. A finding leaves its input in build-fuzz/findings/; once mended, add
# that input to the target's corpus folder, so that every run tries it again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=60
runs=
merge=
only=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --target) only+=("$2"); shift 2 ;;
    --merge) merge=1; shift ;;
    *) echo "usage: $0 [--seconds N | --runs N] [--target NAME]... [--merge]" >&2; exit 2 ;;
  esac
done

build="$root/build-fuzz"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" \
  -DQUEL_CORE_ONLY=ON -DQUEL_SANITIZE=fuzz -DQUEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

targets=()
if [ ${#only[@]} -eq 0 ]; then
  targets=("$build"/tests/fuzz/*_fuzz)
else
  for name in "${only[@]}"; do targets+=("$build/tests/fuzz/$name"); done
fi
per_target=$(( seconds / ${#targets[@]} ))
[ "$per_target" -ge 1 ] || per_target=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  limit=(-max_total_time="$per_target")
  [ -z "$runs" ] || limit=(-runs="$runs")
  # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
  mkdir "$work/$name"
  if "$target" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$build/findings/$name-" "$work/$name" "$root/tests/fuzz/corpus/$name" \
       >"$work/$name.log" 2>&1; then
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
    time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work/$name.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$name.log")
    start=$(sed -n 's/^#[0-9]*[[:space:]]*INITED cov: \([0-9]*\).*/\1/p' "$work/$name.log")
    end=$(sed -n 's/^#[0-9]*[[:space:]]*DONE *cov: \([0-9]*\).*/\1/p' "$work/$name.log")
    echo "$name: ${executions:-?} executions in ${time:-?} s (${rate:-?}/s), cov ${start:-?} -> ${end:-?}, no findings" >&2
    if [ -n "$merge" ]; then
      # The seeds stay; of the new inputs only the fewest that add coverage join them (edges
      # only, not their hit counts, which would keep hundreds more).
      "$target" -merge=1 -use_counters=0 -timeout=10 -rss_limit_mb=2048 "$root/tests/fuzz/corpus/$name" "$work/$name" \
        >"$work/$name.merge.log" 2>&1
      echo "$name: seed folder now $(ls "$root/tests/fuzz/corpus/$name" | wc -l) inputs," \
        "$(du -sk "$root/tests/fuzz/corpus/$name" | cut -f1) KiB" >&2
    fi
  else
    echo "$name: FINDING" >&2
    tail -n 40 "$work/$name.log" >&2
    failed=1
  fi
done
exit "$failed"
