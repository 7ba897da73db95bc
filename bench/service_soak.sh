#!/usr/bin/env bash
# Real-time soak of the logging service: quelmondsrvc -run with the standard counters of this
# machine at Interval 1, logging every sample as HTML with a 16 KiB size limit (so the log
# rotates every few minutes), for a while (default 1800 s). Prints the service's resident set
# and open descriptors at the start and once a minute, then the first and last figures.
#
#   bench/service_soak.sh [seconds] [folder holding service/quelmondsrvc, default build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-1800}
build=${2:-$root/build}
program="$build/service/quelmondsrvc"
[ -x "$program" ] || { echo "no $program: build the target quelmondsrvc first" >&2; exit 2; }

work=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill -INT "$pid" 2>/dev/null || true
  [ -z "$pid" ] || wait "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
sed -e 's/^Interval=.*/Interval=1/' -e 's/^LogMode=.*/LogMode=1/' -e 's/^LogFileSize=.*/LogFileSize=16/' \
  "$root/tests/fixtures/profile/default-2cpu.qlmd" > "$work/soak.qlmd"

QUELLARIMOND_SYSTEM_CONFIG="$work/none.conf" "$program" -run "$work/soak.qlmd" >"$work/out" 2>"$work/err" &
pid=$!
sample() { # elapsed seconds
  local rss fds
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  fds=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
  printf '%6d s  RSS %6d KiB  descriptors %3d\n' "$1" "$rss" "$fds"
}
sleep 5
first=$(sample 5)
echo "$first"
for ((elapsed = 60; elapsed <= seconds; elapsed += 60)); do
  sleep 60
  kill -0 "$pid" 2>/dev/null || { echo "the service ended early:" >&2; cat "$work/err" >&2; exit 1; }
  last=$(sample "$elapsed")
  echo "$last"
done
echo "first: $first"
echo "last:  ${last:-$first}"
echo "log rows: $(grep -c '<tr bgcolor=' "$work/Logs/soak-log.html" || true) in the current log; stderr: $(wc -l < "$work/err") lines"
