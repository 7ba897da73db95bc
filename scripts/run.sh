#!/usr/bin/env bash
# Builds and starts Quellarimond. Until the desktop program exists, this builds the sample
# renderer and draws sample wind rose diagrams to PNG files in build/samples/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$(nproc)" --target quel_render_samples
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$root/build/gui/quel_render_samples" "$root/build/samples"
echo "The sample diagrams are in $root/build/samples/" >&2
