#!/usr/bin/env bash
# log_report.sh - "quelmonctl report" over a 64 MiB HTML log (about 150,000 rows of 8 counters,
# written by log_read_bench --write) and over a CSV log of the same rows: wall time and peak
# memory, from /usr/bin/time -v.
#
# Usage:  bench/log_report.sh [BUILD=build]
# Needs:  quelmonctl and log_read_bench built, and /usr/bin/time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$root/${1:-build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/log-report.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$build/bench/log_read_bench" --write "$work"
for log in "$work/Logs/bench-log.html" "$work/Logs/bench-log.csv"; do
  echo "== report over $(basename "$log"): $(( $(stat -c %s "$log") / 1048576 )) MiB"
  /usr/bin/time -v "$build/cli/quelmonctl" report "$log" >"$work/report.txt" 2>"$work/time.txt"
  head -3 "$work/report.txt"
  grep -E "Elapsed \(wall|Maximum resident" "$work/time.txt"
done
