#!/usr/bin/env bash
# Runs a test program on a virtual X display (Xvfb) under a real window manager (openbox), as a
# user's desktop would run the program. Exit status 77 (skipped) only where the display stack is
# not installed; scripts/deps.sh installs it.
set -u
program=$1
shift

for tool in Xvfb openbox trayer xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it)" >&2
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid=
wm_pid=
finish() {
  [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

# Xvfb picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -s $work/display ]]; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

HOME=$work openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  echo "openbox did not start:" >&2
  cat "$work/openbox.log" >&2
  exit 1
fi

unset DBUS_SESSION_BUS_ADDRESS  # no desktop's own tray or portal: only what the tests start
QT_QPA_PLATFORM=xcb "$program" "$@"
