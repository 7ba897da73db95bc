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

. "$root/bench/default_profile.sh"
default_profile 1 2 >"$work/p.qlmd"

OURS="$program -run $work/p.qlmd" OURS_OUT="$work/Logs" "$peers" "$dur" "$reps"
[ "${KEEP:-0}" = 1 ] && echo "profile and logs kept in $work" >&2
exit 0
