#!/usr/bin/env bash
# service_peers.sh - quelmondsrvc beside the established collectors, in one run of
# shared/bench/run-peers.sh: the console logger with this machine's default counter set,
# sampled every second and logged as HTML (value changes). "ours" is measured twice per
# repeat in that one run: first local-only (no listener), then with the /metrics listener on
# 127.0.0.1 scraped once a second by curl, as the peers script scrapes the node exporter.
#
# Usage:  bench/service_peers.sh [DURATION_S=120] [REPEATS=2] [BUILD=build]
# Env:    RUN_PEERS     the peers script (default ../shared/bench/run-peers.sh beside the project)
#         PEERS         the other peers (default: sadc-xdisk sadc-xall node-exporter)
#         METRICS_PORT  the listener's port (default 19187)
#         KEEP=1        keep the profile and its logs (printed at the end)
# The rows "ours" alternate: local-only first, then the listener (also said on stderr).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dur=${1:-120}
reps=${2:-2}
build=${3:-build}
program=$(cd "$root/$build/service" && pwd)/quelmondsrvc
peers=${RUN_PEERS:-$root/../shared/bench/run-peers.sh}
port=${METRICS_PORT:-19187}
[ -x "$program" ] || { echo "build quelmondsrvc first: $program is missing" >&2; exit 1; }
[ -x "$peers" ] || { echo "no peers script at $peers (set RUN_PEERS)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/service-peers.XXXXXX")
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

. "$root/bench/default_profile.sh"
default_profile 1 2 >"$work/p.qlmd"

# "ours" starts through this script: odd starts local-only, even ones with the listener and a
# scraper that ends with the service. exec keeps the PID that the peers script measures.
cat >"$work/ours.sh" <<'EOF'
#!/usr/bin/env bash
n=$(( $(cat "$SP_WORK/starts" 2>/dev/null || echo 0) + 1 )); echo "$n" >"$SP_WORK/starts"
if (( n % 2 == 1 )); then
  echo "ours start $n: local only" >&2
  exec "$SP_PROGRAM" -run "$SP_WORK/p.qlmd"
fi
echo "ours start $n: listener on 127.0.0.1:$SP_PORT, scraped every second" >&2
self=$$
( sleep 1
  while kill -0 "$self" 2>/dev/null; do
    curl -s -o /dev/null -w '%{size_download} %{time_total}\n' "http://127.0.0.1:$SP_PORT/metrics" >>"$SP_WORK/scrapes-$n.log"
    sleep 1
  done ) &
exec "$SP_PROGRAM" -run -metrics "127.0.0.1:$SP_PORT" "$SP_WORK/p.qlmd"
EOF
chmod +x "$work/ours.sh"
read -r -a others <<<"${PEERS:-sadc-xdisk sadc-xall node-exporter}"
ours=()
for ((r = 0; r < reps; r++)); do ours+=(ours ours); done
export SP_WORK=$work SP_PROGRAM=$program SP_PORT=$port QUELLARIMOND_MODULE_DIR=$root/$build/modules
OURS="$work/ours.sh" OURS_OUT="$work/Logs" "$peers" "$dur" 1 "${others[@]}" "${ours[@]}"
for f in "$work"/scrapes-*.log; do
  [ -e "$f" ] || continue
  awk -v f="${f##*/}" '{n++; b += $1; t += $2} END {
    if (n) printf "  ours %s: %d scrapes, %.0f bytes and %.1f ms per scrape\n", f, n, b / n, 1000 * t / n }' "$f"
done
[ "${KEEP:-0}" = 1 ] && echo "profile and logs kept in $work" >&2
exit 0
