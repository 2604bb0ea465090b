#!/bin/bash
# Reading through a families file against reading the same trees from one list file: each
# gene tree of GENES in a file of its own, listed in a families file, both run through the
# cost report of SPECIES side by side by farm-bench.
#   bench/families.sh KELVORA GENES SPECIES
set -eu
kelvora=$(realpath "$1") genes=$(realpath "$2") species=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir f
awk '{ f = sprintf("f/fam%05d.nwk", NR); print > f; close(f) }' "$genes"
{ echo "[FAMILIES]"; for f in f/*.nwk; do echo "- $(basename "$f" .nwk)"; echo "starting_gene_tree = $f"; done; } >families.txt
cat f/*.nwk >all.nwk
farm-bench -n 7 --vs "$kelvora --newick -G all.nwk -S $species -b -c" -- \
  "$kelvora" --families families.txt -S "$species" -b -c
