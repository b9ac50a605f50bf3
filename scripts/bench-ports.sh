#!/usr/bin/env bash
# bench-ports.sh [ROUNDS] -- the whole show's --benchmark for each processor path side by side:
# native x86-64 (packed, and plain when build/plain exists) and 64-bit ARM under qemu (packed
# through SIMDe, and plain). The builds take turns, ROUNDS times (1 unless given), so that a
# busy machine slows each alike; the summary gives each build's processor time over the first
# one's. Emulated times say nothing absolute: only the ratio between the two ARM builds counts.
# Build first: cmake --build --preset release / plain / aarch64 / aarch64-plain.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-1}
data=build/release
qemu=(qemu-aarch64-static -L /usr/aarch64-linux-gnu)

names=() commands=()
add() { # add NAME PROGRAM [RUNNER...]
  local name=$1 program=$2
  shift 2
  if [ -x "$program" ]; then
    names+=("$name")
    commands+=("$* $program")
  else
    echo "bench-ports: $program is not built; leaving out $name" >&2
  fi
}
add x86-64 build/release/quellmoor
add x86-64-plain build/plain/quellmoor
add aarch64 build/aarch64/quellmoor "${qemu[@]}"
add aarch64-plain build/aarch64-plain/quellmoor "${qemu[@]}"
[ -f "$data/quellmor.dat" ] || { echo "bench-ports: no data in $data: build the release preset" >&2; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for ((r = 1; r <= rounds; r++)); do
  for i in "${!names[@]}"; do
    echo "== round $r: ${names[$i]}"
    # shellcheck disable=SC2086
    ${commands[$i]} --data "$data" --benchmark | tee "$out/$i.$r"
  done
done

echo "== processor time, summed over $rounds round(s), over ${names[0]}'s"
for i in "${!names[@]}"; do
  cat "$out/$i".* | awk '/^processor time:/ { s += $3 } END { printf "%.3f\n", s }' >"$out/$i.sum"
done
base=$(cat "$out/0.sum")
for i in "${!names[@]}"; do
  awk -v n="${names[$i]}" -v s="$(cat "$out/$i.sum")" -v b="$base" \
    'BEGIN { printf "%-14s %10.3f s  %7.2f x\n", n, s, s / b }'
done
