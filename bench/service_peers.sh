#!/usr/bin/env bash
# service_peers.sh - quelmondsrvc beside the established collectors, in one run of
# shared/bench/run-peers.sh: the console logger with this machine's default counter set,
# sampled every second and logged as HTML (value changes).
#
# Usage:  bench/service_peers.sh [DURATION_S=120] [REPEATS=2] [BUILD=build]
# Env:    RUN_PEERS  the peers script (default ../shared/bench/run-peers.sh beside the project)
#         KEEP=1     keep the profile and its logs (printed at the end)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dur=${1:-120}
reps=${2:-2}
program=$(cd "$root/${3:-build}/service" && pwd)/quelmondsrvc
peers=${RUN_PEERS:-$root/../shared/bench/run-peers.sh}
[ -x "$program" ] || { echo "build quelmondsrvc first: $program is missing" >&2; exit 1; }
[ -x "$peers" ] || { echo "no peers script at $peers (set RUN_PEERS)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/service-peers.XXXXXX")
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

# The default counter set as the standard set builds it here: one axis per processor, then
# processes, threads, memory, virtual memory, disk space and drive time.
axis() { # name path inverse critical maximum
  printf 'BeginAxis\r\nName=%s\r\nDesc=\r\nMinValue=0.000000\r\nMaxValue=%s.000000\r\n' "$1" "$5"
  printf 'CriticalValue=%s.000000\r\nMultiplier=1.000000\r\nInverse=%s\r\nCounter=%s\r\nEndAxis\r\n\r\n' "$4" "$3" "$2"
}
cpus=$(grep -c '^cpu[0-9]' /proc/stat)
{
  printf '\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\n'
  printf 'History=30\r\nInterval=1\r\nLogMode=2\r\nLogFormat=0\r\nLogFileSize=64\r\n\r\n'
  if [ "$cpus" -eq 1 ]; then
    axis '% CPU' '\Processor(0)\% Processor Time' 0 80 100
  else
    for ((i = 0; i < cpus; i++)); do axis "% CPU-$((i + 1))" "\\Processor($i)\\% Processor Time" 0 80 100; done
  fi
  axis '# Processes' '\Objects\Processes' 0 100 1000
  axis '# Threads' '\Objects\Threads' 0 800 1000
  axis '% Memory' '\Memory\% Committed Bytes In Use' 0 80 100
  axis '% Virtual Memory' '\Paging File(_Total)\% Usage' 0 50 100
  axis '% Disk Space Used' '\LogicalDisk(_Total)\% Free Space' 1 80 100
  axis '% Hard Drive Time' '\PhysicalDisk(_Total)\% Disk Time' 0 80 100
} >"$work/p.qlmd"

OURS="$program -run $work/p.qlmd" OURS_OUT="$work/Logs" "$peers" "$dur" "$reps"
[ "${KEEP:-0}" = 1 ] && echo "profile and logs kept in $work" >&2
exit 0
