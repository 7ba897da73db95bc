#!/usr/bin/env bash
# saver_cpu.sh - the CPU the screen saver costs, beside the desktop program, in one run: both show
# the same profile (the default counter set, sampled every 4 s, no log) on one Xvfb screen of
# 1920x1080; quelmond -s full screen, the desktop program in its window. After a warm-up each
# one's user + system CPU time is read from /proc over the measured seconds.
#
# Usage:  bench/saver_cpu.sh [DURATION_S=120] [BUILD=build]
# Needs:  Xvfb, and the programs built (quelmond and Quellarimond).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dur=${1:-120}
build=$(cd "$root/${2:-build}" && pwd)
saver=$build/saver/quelmond
desktop=$build/desktop/Quellarimond
warmup=10
for program in "$saver" "$desktop"; do
  [ -x "$program" ] || { echo "build it first: $program is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/saver-cpu.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

. "$root/bench/default_profile.sh"
default_profile 4 0 >"$work/p.qlmd"
mkdir -p "$work/config/Tolvane" "$work/run" && chmod 700 "$work/run"
printf '[Screen Saver]\nProfile=%s\nAreaSize=40\nTimeout=20\n' "$work/p.qlmd" >"$work/config/Tolvane/Quellarimond.conf"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
export QUELLARIMOND_SYSTEM_CONFIG=$work/system.conf

Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp >"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
export DISPLAY=:$(head -1 "$work/display")

"$desktop" "$work/p.qlmd" >"$work/desktop.log" 2>&1 &
desktop_pid=$!
pids+=("$desktop_pid")
"$saver" -s >"$work/saver.log" 2>&1 &
saver_pid=$!
pids+=("$saver_pid")

cpu_ticks() { # pid: utime + stime in clock ticks
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}
sleep "$warmup"
s0=$(cpu_ticks "$saver_pid"); d0=$(cpu_ticks "$desktop_pid")
sleep "$dur"
s1=$(cpu_ticks "$saver_pid"); d1=$(cpu_ticks "$desktop_pid")
hz=$(getconf CLK_TCK)

report() { # name ticks
  awk -v n="$1" -v t="$2" -v hz="$hz" -v d="$dur" \
    'BEGIN { printf "%-28s %7.2f s CPU in %d s = %5.2f %% of one core\n", n, t / hz, d, 100 * t / hz / d }'
}
echo "1920x1080, Interval 4, $(grep -c '^cpu[0-9]' /proc/stat) processors, measured $dur s after $warmup s"
report "quelmond -s (full screen)" $((s1 - s0))
report "Quellarimond (window)" $((d1 - d0))
