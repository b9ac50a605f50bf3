#!/usr/bin/env bash
# fuzz-merge.sh BUILD [TARGET...] -- minimises each target's working corpus (fuzz/corpus-<name>/)
# into the kept one (fuzz/corpus/<name>/): only inputs that add coverage, none over MAX_BYTES
# (default 4096; the module target keeps up to 16384).
set -euo pipefail
build=$1; shift
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
[ -z "${TMPDIR:-}" ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
[ ${#targets[@]} -eq 0 ] && targets=(archive lzw tga jpeg object scene music_module)
for name in "${targets[@]}"; do
  limit=${MAX_BYTES:-4096}
  [ "$name" = music_module ] && limit=${MAX_BYTES:-16384}
  kept="$root/fuzz/corpus/$name" work="$root/fuzz/corpus-$name"
  mkdir -p "$kept" "$work"
  find "$work" -type f -size +"$limit"c -delete
  nice -n 19 "$build/fuzz/fuzz_$name" -merge=1 -max_len="$limit" "$kept" "$work" \
    >"$build/merge-$name.log" 2>&1
  echo "merge $name: $(find "$kept" -type f | wc -l) files, $(du -sk "$kept" | cut -f1) KB"
done
