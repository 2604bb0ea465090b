#!/bin/bash
# The defaults of -Y --spr (no search option), seed by seed, beside either the search they
# replaced (one stepwise-addition start, -j 2, in the same build) or, with OLD=path, another
# build's defaults (the build before a change): cost reached by each, and farm-bench's median
# wall and CPU time of each over RUNS paired runs (default 3), the two run in turn.
# Usage: [OLD=old-kelvora] bench/defaults.sh build-dir [data-dir]  (data-dir default ../shared/data)
# SETS chooses the collections and seeds (default "guigo16:20 treefam25:5").
set -euo pipefail
cd "$(dirname "$0")/.."
kv=$(cd "$1" && pwd)/kelvora
data=$(cd "${2:-../shared/data}" && pwd)
if [ -n "${OLD:-}" ]; then
  old=("$(readlink -f "$OLD")") oldopts=()
else
  old=("$kv") oldopts=(--greedy 1 -j 2)
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cost() { "$@" --out c --force 2>/dev/null | sed -n 's/^Optimal cost://p'; }
median() { awk -v what="$1" '$1 == "A" && $2 == what { a = $5 } $1 == "B" && $2 == what { b = $5 }
  END { printf "%s %s", a, b }'; }
printf '%-10s %4s %8s %8s %10s %10s %10s %10s\n' data seed cost "old cost" wall "old wall" \
  cpu "old cpu"
for set in ${SETS:-guigo16:20 treefam25:5}; do
  name=${set%%:*}
  for s in $(seq 1 "${set##*:}"); do
    args=(-G "$data/$name/genes.txt" -Y --spr --seed "$s" --out b --force)
    farm-bench -n "${RUNS:-3}" --vs "${old[*]} ${args[*]} ${oldopts[*]}" -- "$kv" "${args[@]}" >fb.txt 2>&1
    read -r wall oldwall <<<"$(median wall <fb.txt)"
    read -r cpu oldcpu <<<"$(median cpu <fb.txt)"
    printf '%-10s %4s %8s %8s %10s %10s %10s %10s\n' "$name" "$s" "$(cost "$kv" "${args[@]}")" \
      "$(cost "${old[@]}" "${args[@]}" "${oldopts[@]}")" "$wall" "$oldwall" "$cpu" "$oldcpu"
  done
done
