#!/usr/bin/env bash
# Builds and starts Quellarimond, the desktop program. Arguments go to the program (a profile
# to open, for example). Without a display, run it on a virtual one: xvfb-run -a ./scripts/run.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The desktop program and the module it loads to read other computers.
cmake --build "$root/build" -j "$(nproc)" --target Quellarimond quel_remote

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "run.sh: no display to show the window on; on a machine without a desktop start it as" >&2
  echo "        xvfb-run -a ./scripts/run.sh" >&2
  exit 1
fi
exec "$root/build/desktop/Quellarimond" "$@"
