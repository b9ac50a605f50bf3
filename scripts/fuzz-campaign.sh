#!/usr/bin/env bash
# fuzz-campaign.sh BUILD [TARGET...] -- the long runs: each target to its execution count (or for
# at most CAMPAIGN_SECONDS, when set), in two lanes of targets run one after another, from its
# working corpus (fuzz/corpus-<name>/, not kept), the kept corpus and the seeds. Logs go to
# BUILD/campaign-<name>.log, findings to BUILD/artifacts/. Afterwards, minimise the working
# corpus into the kept one with scripts/fuzz-merge.sh.
set -uo pipefail
build=$1; shift
root=$(cd "$(dirname "$0")/.." && pwd)
declare -A runs=([archive]=10000000 [lzw]=10000000 [tga]=10000000 [jpeg]=10000000
                 [object]=2000000 [scene]=2000000 [music_module]=2000000)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(archive lzw tga jpeg object scene music_module)
mkdir -p "$build/artifacts"
# The file-reading targets rewrite a file every run: keep it in memory when possible.
[ -z "${TMPDIR:-}" ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm

run_one() {
  local name=$1 dirs=()
  mkdir -p "$root/fuzz/corpus-$name"
  for d in "$root/fuzz/corpus/$name" "$root/fuzz/seeds/$name"; do [ -d "$d" ] && dirs+=("$d"); done
  nice -n 19 "$build/fuzz/fuzz_$name" -runs="${runs[$name]}" \
    -max_total_time="${CAMPAIGN_SECONDS:-0}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name-" "$root/fuzz/corpus-$name" "${dirs[@]}" \
    >"$build/campaign-$name.log" 2>&1
  local status=$?
  echo "campaign $name: status $status, $(grep -o 'stat::number_of_executed_units: *[0-9]*' \
    "$build/campaign-$name.log" | tail -1)"
  return $status
}

lane() { local s=0; for t; do run_one "$t" || s=1; done; return $s; }
even=() odd=()
for ((i = 0; i < ${#targets[@]}; i++)); do
  if ((i % 2)); then odd+=("${targets[i]}"); else even+=("${targets[i]}"); fi
done
lane "${even[@]}" & a=$!
status=0
[ ${#odd[@]} -gt 0 ] && { lane "${odd[@]}" || status=1; }
wait $a || status=1
exit $status
