#!/usr/bin/env bash
# The demo: the map viewer on the world database and the demo atlas (both made on first start
# in the user's cache directory). Without a display the viewer tours itself off screen and
# writes a picture per step into the build directory.
set -euo pipefail
build="$(cd "$1" && pwd)"
viewer="$build/apps/viewer/vekgeo-viewer"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec env QT_QPA_PLATFORM=offscreen "$viewer" --tour "$build/viewer-tour"
fi
exec "$viewer"
