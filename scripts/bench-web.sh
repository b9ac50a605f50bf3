#!/usr/bin/env bash
# bench-web.sh [ROUNDS] -- the whole show's frame-time table, native (--benchmark) and in headless
# Chromium (the page's ?benchmark, SIMD build), taking turns ROUNDS times (1 unless given) so
# that a busy machine slows each alike. Prints both tables of each round and, last, each
# round's whole-show time in the page over the native one. Run `make web` first.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-1}
site=build/web
[ -f "$site/index.html" ] || { echo "bench-web: no $site/index.html (run make web)" >&2; exit 1; }
command -v chromium >/dev/null || { echo "bench-web: chromium is not installed" >&2; exit 1; }

out=$(mktemp -d)
server=""
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$out"; }
trap cleanup EXIT
mkdir -p "$out/reports"
python3 scripts/serve-web.py --port 0 --reports "$out/reports" "$site" >"$out/server.txt" &
server=$!
for _ in $(seq 50); do grep -q http "$out/server.txt" && break; sleep 0.1; done
address=$(grep -o 'http://[^ ]*' "$out/server.txt")

# The seconds of a table's "whole show: N frames in T s" line.
whole() { awk '/^whole show:/ { print $(NF - 5) }' "$1"; }

for ((r = 1; r <= rounds; r++)); do
  echo "== round $r: native"
  build/release/quellmoor --data build/release --benchmark | tee "$out/native.$r"
  echo "== round $r: page"
  rm -f "$out/reports"/*
  chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$out/profile$r" \
    --window-size=1024,768 "$address?benchmark&autorun&report=/report" >"$out/chromium.txt" 2>&1 &
  browser=$!
  for _ in $(seq 3000); do [ -f "$out/reports/status" ] && break; sleep 0.1; done
  kill "$browser" 2>/dev/null || true
  wait "$browser" 2>/dev/null || true
  [ -f "$out/reports/stdout" ] || { echo "bench-web: the page reported nothing" >&2; exit 1; }
  tee "$out/page.$r" <"$out/reports/stdout"
  echo
done

echo "== the whole show in the page over the native one"
for ((r = 1; r <= rounds; r++)); do
  awk -v r="$r" -v n="$(whole "$out/native.$r")" -v p="$(whole "$out/page.$r")" \
    'BEGIN { printf "round %d: native %.3f s, page %.3f s, %.2f x\n", r, n, p, p / n }'
done
