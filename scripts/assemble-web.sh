#!/usr/bin/env bash
# assemble-web.sh -- puts the site together: the page, both programs (plain and SIMD) and the
# data a native build forged, with files.json listing what the page downloads and its sizes.
#
# Usage: scripts/assemble-web.sh NATIVE_BUILD PLAIN_BUILD SIMD_BUILD SITE
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 NATIVE_BUILD PLAIN_BUILD SIMD_BUILD SITE" >&2; exit 2; }
native=$1 plain=$2 simd=$3 site=$4
root=$(cd "$(dirname "$0")/.." && pwd)
data=(quellmor.dat quellmor.xm end.xm)
for f in "${data[@]}"; do
  [ -f "$native/$f" ] || { echo "assemble-web: $native/$f is missing (build the native data)" >&2; exit 1; }
done
for f in "$plain/quellmoor.js" "$plain/quellmoor.wasm" "$simd/quellmoor.js" "$simd/quellmoor.wasm"; do
  [ -f "$f" ] || { echo "assemble-web: $f is missing (build the wasm presets)" >&2; exit 1; }
done

rm -rf "$site.new"
mkdir -p "$site.new"
cp "$root"/dist/web/index.html "$root"/dist/web/page.js "$root"/dist/web/quellmoor-audio.js "$site.new/"
cp "$native/quellmoor.png" "$site.new/" 2>/dev/null || true
cp "$plain/quellmoor.js" "$plain/quellmoor.wasm" "$site.new/"
cp "$simd/quellmoor.js" "$site.new/quellmoor-simd.js"
cp "$simd/quellmoor.wasm" "$site.new/quellmoor-simd.wasm"
for f in "${data[@]}"; do cp "$native/$f" "$site.new/"; done

size() { stat -c %s "$site.new/$1"; }
{
  printf '{\n  "programs": {"quellmoor.wasm": %s, "quellmoor-simd.wasm": %s},\n  "data": [' \
    "$(size quellmoor.wasm)" "$(size quellmoor-simd.wasm)"
  sep=''
  for f in "${data[@]}"; do
    printf '%s\n    {"name": "%s", "size": %s}' "$sep" "$f" "$(size "$f")"
    sep=','
  done
  printf '\n  ]\n}\n'
} >"$site.new/files.json"

rm -rf "$site"
mv "$site.new" "$site"
echo "assemble-web: the site is in $site" >&2
