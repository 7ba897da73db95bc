#!/usr/bin/env bash
# remote_peers.sh - watching 4 remote computers every second: quelmondsrvc with a profile of 8
# counters on each of 4 node exporters (on loopback, each over a copy of a fixture machine),
# beside the real Prometheus server scraping the same 4 endpoints every second, in one run.
# Prints the CPU time each used over the measured window and the ratio.
#
# Usage:  bench/remote_peers.sh [DURATION_S=60] [BUILD=build]
# Env:    KEEP=1  keep the work folder (profiles, logs, Prometheus data)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dur=${1:-60}
build=$(cd "$root/${2:-build}" && pwd)
program=$build/service/quelmondsrvc
[ -x "$program" ] || { echo "build quelmondsrvc first: $program is missing" >&2; exit 1; }
[ -f "$build/modules/quel_remote.so" ] || { echo "build quel_remote first" >&2; exit 1; }
command -v prometheus-node-exporter >/dev/null && command -v prometheus >/dev/null ||
  { echo "prometheus-node-exporter and prometheus are needed (scripts/deps.sh)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/remote-peers.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ "${KEEP:-0}" = 1 ] && echo "work folder kept: $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_port() { for _ in $(seq 200); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.05; done; return 1; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

ports=()
for host in 1 2 3 4; do
  mkdir -p "$work/host$host"
  cp -r "$root/tests/fixtures/machine-4cpu/." "$work/host$host/"
  port=$(free_port)
  prometheus-node-exporter --path.procfs="$work/host$host/proc" --path.sysfs="$work/host$host/sys" \
    --path.rootfs="$work/host$host" --no-collector.netdev.netlink \
    --web.listen-address="127.0.0.1:$port" >"$work/exporter$host.log" 2>&1 &
  pids+=($!)
  wait_port "$port" || { echo "node exporter $host did not start" >&2; exit 1; }
  ports+=("$port")
done

axis() { # name path
  printf 'BeginAxis\r\nName=%s\r\nDesc=\r\nMinValue=0.000000\r\nMaxValue=100.000000\r\n' "$1"
  printf 'CriticalValue=80.000000\r\nMultiplier=1.000000\r\nInverse=0\r\nCounter=%s\r\nEndAxis\r\n\r\n' "$2"
}
{
  printf '\r\n# QUELLARIMOND CONFIGURATION FILE. DO NOT MODIFY!\r\n\r\n'
  printf 'History=30\r\nInterval=1\r\nLogMode=2\r\nLogFormat=0\r\nLogFileSize=64\r\n\r\n'
  for i in 0 1 2 3; do
    c="\\\\127.0.0.1:${ports[$i]}"
    axis "cpu$i" "$c\\Processor(_Total)\\% Processor Time"
    axis "cpu0-$i" "$c\\Processor(0)\\% Processor Time"
    axis "commit$i" "$c\\Memory\\% Committed Bytes In Use"
    axis "avail$i" "$c\\Memory\\Available Bytes"
    axis "pages$i" "$c\\Memory\\Pages/sec"
    axis "disk$i" "$c\\PhysicalDisk(_Total)\\% Disk Time"
    axis "net$i" "$c\\Network Interface(eth0)\\Bytes Total/sec"
    axis "ctxt$i" "$c\\System\\Context Switches/sec"
  done
} >"$work/remote.qlmd"

{
  echo "global: {scrape_interval: 1s, scrape_timeout: 1s, evaluation_interval: 1m}"
  echo "scrape_configs:"
  echo "  - job_name: node"
  echo "    static_configs:"
  echo "      - targets: [127.0.0.1:${ports[0]}, 127.0.0.1:${ports[1]}, 127.0.0.1:${ports[2]}, 127.0.0.1:${ports[3]}]"
} >"$work/prometheus.yml"

QUELLARIMOND_MODULE_DIR="$build/modules" "$program" -run "$work/remote.qlmd" >"$work/ours.log" 2>&1 &
ours=$!
pids+=("$ours")
prom_port=$(free_port)
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
  --web.listen-address="127.0.0.1:$prom_port" >"$work/prometheus.log" 2>&1 &
prom=$!
pids+=("$prom")
wait_port "$prom_port" || { echo "prometheus did not start" >&2; exit 1; }

sleep 10  # both past their start-up
ours0=$(cpu_ticks "$ours"); prom0=$(cpu_ticks "$prom")
sleep "$dur"
ours1=$(cpu_ticks "$ours"); prom1=$(cpu_ticks "$prom")
hz=$(getconf CLK_TCK)
ours_rss=$(awk '/VmHWM/ {print $2}' "/proc/$ours/status")
prom_rss=$(awk '/VmHWM/ {print $2}' "/proc/$prom/status")
scrapes=$(curl -s "http://127.0.0.1:$prom_port/api/v1/query?query=count(up==1)" | grep -o '"value":\[[^]]*\]' || true)
awk -v o=$((ours1 - ours0)) -v p=$((prom1 - prom0)) -v hz="$hz" -v d="$dur" -v orss="$ours_rss" -v prss="$prom_rss" 'BEGIN {
  printf "window %d s, 4 hosts x 8 counters every second\n", d
  printf "quelmondsrvc   CPU %.2f s (%.2f%% of one core), peak RSS %d KiB\n", o / hz, 100 * o / hz / d, orss
  printf "prometheus     CPU %.2f s (%.2f%% of one core), peak RSS %d KiB\n", p / hz, 100 * p / hz / d, prss
  if (p > 0) printf "ratio (ours / prometheus) CPU %.3f\n", o / p
}'
echo "prometheus targets up: $scrapes"
grep -c "N/A" "$work"/Logs/*.html 2>/dev/null | sed 's/^/N\/A cells in our log: /' || true
