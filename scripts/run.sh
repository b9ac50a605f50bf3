#!/usr/bin/env bash
# run.sh BUILD -- plays the show from the build folder, where its data lies.
set -euo pipefail
build=$1
if [ ! -x "$build/quellmoor" ]; then
  echo "make run: the show program is not built yet (src/shell/main.cpp does not exist)." >&2
  exit 1
fi
cd "$build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "make run: there is no display here to show the show on." >&2
  echo "Play it without a window and look at its frames instead:" >&2
  echo "  $build/quellmoor --headless --frames frames --every 50" >&2
  exit 2
fi
exec ./quellmoor
