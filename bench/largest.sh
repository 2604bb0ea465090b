#!/bin/bash
# The largest accepted inputs, end to end, with their times: a 15000-leaf species tree
# (balanced and caterpillar) from a list file and from a raw file, 8193- and 8194-leaf gene
# trees, and a search over 500 species. Usage: bench/largest.sh [build-dir]
set -uo pipefail
cd "$(dirname "$0")/.."
dir=$(cd "${1:-build-release}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

run() {  # label, then the command
  local label=$1
  shift
  local start end status
  start=$(date +%s.%N)
  "$@" >out.txt 2>err.txt
  status=$?
  end=$(date +%s.%N)
  printf '%-58s status %3d  %7.2f s  %s\n' "$label" "$status" "$(awk "BEGIN {print $end - $start}")" \
    "$(head -c 60 err.txt | tr '\n' ' ')"
}

for shape in balanced caterpillar; do
  "$dir/bench/kvgen" -n 15000 -t $shape -f 5 -M 400 -x 3 -s species.txt -g genes.txt
  run "15000-leaf $shape species tree, list file, -b -c" "$dir/kelvora" -S species.txt -G genes.txt -b -c
  # A raw file of the same tree: the dump of -N writes one beside its first dump.
  "$dir/kelvora" -S species.txt -G genes.txt -N 15000 >/dev/null 2>&1
  run "15000-leaf $shape species tree, raw file, -b -c" "$dir/kelvora" -S nni.00.dump.raw -G genes.txt -b -c
  rm -f nni.* *.kv.txt
done

gene() {  # a caterpillar gene tree of n leaves over 40 species
  awk -v n="$1" 'BEGIN { s = "(g0,g1)"; for (i = 2; i < n - 1; i++) s = "(" s ",g" (i % 40) ")"; print "(" s ",g" ((n - 1) % 40) ")" }'
}
gene 8193 >gene8193.txt
gene 8194 >gene8194.txt
awk 'BEGIN { s = "g0"; for (i = 1; i < 40; i++) s = "(" s ",g" i ")"; print s }' >s40.txt
run "8193-leaf caterpillar gene tree, -b -c" "$dir/kelvora" -S s40.txt -G gene8193.txt -b -c
run "8194-leaf gene tree (rejected)" "$dir/kelvora" -S s40.txt -G gene8194.txt -b -c

"$dir/bench/kvgen" -n 500 -f 1000 -d 0.2 -l 0.2 -M 300 -x 5 -s species.txt -g genes.txt
run "-Y, 1000 gene trees over 500 species" "$dir/kelvora" -G genes.txt -Y
tail -4 out.txt | head -3
