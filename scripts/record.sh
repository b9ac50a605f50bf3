#!/usr/bin/env bash
# record.sh BUILD [FILE] -- records the whole show with its music to FILE (default: quellmoor.mp4
# in the current folder). RECORD_ARGS adds options, e.g. RECORD_ARGS="--scale 2".
set -euo pipefail
build=$1
out=${2:-$PWD/quellmoor.mp4}
if [ ! -x "$build/quellmoor" ]; then
  echo "make record: the show program is not built yet." >&2
  exit 1
fi
if ! command -v ffmpeg >/dev/null; then
  echo "make record: recording needs ffmpeg: install the package \"ffmpeg\" (make deps does)." >&2
  exit 1
fi
# shellcheck disable=SC2086 # RECORD_ARGS is a list of options
"$build/quellmoor" --record "$out" --data "$build" ${RECORD_ARGS:-}
echo "The show is recorded in $out"
