#!/usr/bin/env bash
# The program with "Notify When Critical" on, a profile whose two axes are critical from the
# first sample and no tray, on a virtual display (Xvfb) with a private session bus: the
# notification service (a recorder) receives one notification with a line per axis.
# Exit status 77 (skipped) only where Xvfb or dbus-daemon is not installed.
set -u
program=$1
recorder=$2
machine=$3

for tool in Xvfb dbus-daemon; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it)" >&2
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
finish() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap finish EXIT

# Waits up to 30 s for a file to hold a line matching a pattern.
wait_for() {
  for _ in $(seq 300); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for "$work/display" . || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" 2>"$work/bus.log" &
pids=($! "${pids[@]}")
wait_for "$work/bus" . || { echo "dbus-daemon did not start:" >&2; cat "$work/bus.log" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")

QT_QPA_PLATFORM=offscreen "$recorder" "$work/notifications" >"$work/recorder.log" 2>&1 &
pids=($! "${pids[@]}")
wait_for "$work/recorder.log" '^ready$' || { echo "the recorder did not start:" >&2; cat "$work/recorder.log" >&2; exit 1; }

home=$work/home
mkdir -p "$home/config/Tolvane" "$home/data" "$home/cache" "$home/run"
chmod 700 "$home/run"
printf '[Settings]\nNotifyCritical=1\n' >"$home/config/Tolvane/Quellarimond.conf"
# The fixture machine has 10000000 kB available and five processes.
cat >"$work/Hot.qlmd" <<'PROFILE'
Interval=1
EnableTray=0

BeginAxis
Name=Free memory
MinValue=0
CriticalValue=100
MaxValue=20000
Counter=\Memory\Available MBytes
EndAxis

BeginAxis
Name=Processes
MinValue=0
CriticalValue=1
MaxValue=1000
Counter=\System\Processes
EndAxis
PROFILE

HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache \
XDG_RUNTIME_DIR=$home/run QUELLARIMOND_PROCFS=$machine/proc QUELLARIMOND_SYSFS=$machine/sys \
QT_QPA_PLATFORM=xcb "$program" "$work/Hot.qlmd" >"$work/program.log" 2>&1 &
pids=($! "${pids[@]}")

if ! wait_for "$work/notifications" '^\.$'; then
  echo "no notification arrived; the program said:" >&2
  cat "$work/program.log" >&2
  exit 1
fi
# Values as the diagram writes them: 9765.625 MiB with two decimals, the count as a whole number.
expected="Hot.qlmd - Quellarimond
Free memory is critical: 9765.62 (critical value 100)
Processes is critical: 5 (critical value 1)
."
actual=$(cat "$work/notifications")
if [[ $actual != "$expected" ]]; then
  echo "the notification service received:" >&2
  echo "$actual" >&2
  echo "instead of:" >&2
  echo "$expected" >&2
  exit 1
fi
if [[ -s $work/program.log ]]; then
  echo "the program wrote:" >&2
  cat "$work/program.log" >&2
  exit 1
fi
