#!/usr/bin/env bash
# run.sh BUILD -- plays the show from the build folder.
set -euo pipefail
build=$1
if [ ! -x "$build/quellmoor" ]; then
  echo "make run: the show program is not built yet (src/shell/main.cpp does not exist)." >&2
  exit 1
fi
cd "$build"
exec ./quellmoor
