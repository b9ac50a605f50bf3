#!/usr/bin/env bash
# gallery.sh BUILD OUT -- one picture per part for the README: a headless run writes the screens
# at the chosen ticks, and each is cut to the show's rows and made small.
set -euo pipefail
build=$1
out=$2
# The tick where each part looks its best, in part order.
ticks=(2300 4200 4800 7300 8200 9960 10900 12200 13500 14500 17580 21500)

if [ ! -x "$build/quellmoor" ]; then
  echo "make gallery: the show program is not built yet." >&2
  exit 1
fi
shots=$(mktemp -d /tmp/qm_gallery_XXXXXX)
trap 'rm -rf "$shots"' EXIT
at=$(IFS=,; echo "${ticks[*]}")
"$build/quellmoor" --headless --data "$build" --frames "$shots" --at "$at"
mkdir -p "$out"
for i in "${!ticks[@]}"; do
  shot=$(printf '%s/frame-%06d.png' "$shots" "${ticks[$i]}")
  name=$(printf '%s/part-%02d.jpg' "$out" $((i + 1)))
  # The frame shows at rows 64..316 and columns 0..510 of the 512 x 384 screen.
  convert "$shot" -crop 511x253+0+64 +repage -resize 384x -strip -quality 82 "$name"
done
echo "The gallery is in $out"
