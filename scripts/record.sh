#!/usr/bin/env bash
# record.sh BUILD -- records the whole show to quellmoor.mp4 in the current folder.
set -euo pipefail
echo "make record: recording is not built yet." >&2
exit 1
