#!/usr/bin/env bash
# fuzz.sh BUILD SECONDS -- runs each fuzz target for SECONDS from its seed corpus; fails on a finding.
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "make fuzz: no fuzz targets are built yet." >&2
  exit 0
fi
status=0
for t in "${targets[@]}"; do
  name=$(basename "$t"); name=${name#fuzz_}
  corpus="$build/corpus-$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$root/fuzz/seeds/$name" ] && seeds=("$root/fuzz/seeds/$name")
  echo "== fuzz $name for ${seconds}s"
  if ! "$t" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$build/$name-" \
       "$corpus" "${seeds[@]}" 2>"$build/fuzz-$name.log"; then
    echo "fuzz $name: FOUND A FAULT (see $build/fuzz-$name.log)" >&2
    tail -n 30 "$build/fuzz-$name.log" >&2
    status=1
  fi
done
exit $status
