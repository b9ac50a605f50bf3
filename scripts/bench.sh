#!/usr/bin/env bash
# bench.sh BUILD -- runs every benchmark program of the build.
set -euo pipefail
build=$1
shopt -s nullglob
benches=("$build"/bench/bench_*)
if [ ${#benches[@]} -eq 0 ]; then
  echo "make bench: no benchmarks are built yet." >&2
  exit 0
fi
for b in "${benches[@]}"; do
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
