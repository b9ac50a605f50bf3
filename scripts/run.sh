#!/usr/bin/env bash
# run.sh BUILD -- plays the show from the build folder; with no display to show it on, records it
# to quellmoor.mp4 in the current folder instead.
set -euo pipefail
build=$1
if [ ! -x "$build/quellmoor" ]; then
  echo "make run: the show program is not built yet (src/shell/main.cpp does not exist)." >&2
  exit 1
fi
record_instead() {
  echo "make run: no display here; recording the show to $PWD/quellmoor.mp4 instead." >&2
  exec bash "$(dirname "$0")/record.sh" "$build" "$PWD/quellmoor.mp4"
}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  record_instead
fi
# A display that is named but does not answer is found by the program itself (status 2).
status=0
(cd "$build" && ./quellmoor) || status=$?
if [ "$status" -eq 2 ]; then
  record_instead
fi
exit "$status"
