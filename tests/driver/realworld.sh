#!/bin/bash
# The collections other programs publish, read in place, through the main command (an SPR
# search writing best trees, events and reconciled trees) and a cost report of its best tree,
# with the options a user of each program would give. Skipped without the shared data.
set -u
kelvora=$1 data=$2 scratch=$3
[ -d "$data" ] || { echo "no shared data at $data: skipped"; exit 77; }
data=$(cd "$data" && pwd)
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
fail=0
run() {  # name, then options; runs from the current folder
  local name=$1
  shift
  if ! "$kelvora" "$@" -Y --spr --seed 1 --time-limit 60 --out "$scratch/$name" --force \
      --events "$scratch/$name" --reconciled "$scratch/$name.xml" \
      --reconciled-format recphyloxml >"$scratch/$name.out" 2>"$scratch/$name.err"; then
    echo "=== $name: the search failed"; cat "$scratch/$name.err"; fail=1; return
  fi
  local want got
  want=$(sed -n 's/^Optimal cost://p' "$scratch/$name.out")
  got=$("$kelvora" "$@" -S "$scratch/$name.best.nwk" -b -c 2>"$scratch/$name.err" | cut -f2 | sort -u)
  if [ "$want" != "$got" ]; then
    echo "=== $name: the search reported $want, its best trees cost $got"; cat "$scratch/$name.err"
    fail=1
  fi
}
a=$data/astral-pro
run multitree --newick -G "$a/multitree.nw"
grep -q "Left out 75 gene trees with fewer than three leaves" multitree.err ||
  { echo "=== multitree: the small trees were not counted"; fail=1; }
run genename --newick -G "$a/multitree_genename.nw" --map "$a/multitree_genename.map"
run vertebrates --newick -G "$data/duploss2/vertebrates.newick"
run unrooted --newick -G "$data/duploss2/vertebrates.unrooted.newick"
run weighted --newick -G "$data/duploss2/vertebrates.weighted.newick"
sim=$data/generax/data/simulated_2_map_in_label
cat "$sim"/raxml_trees/*.newick >sim.nwk
run maplabel --newick -l b_ -G sim.nwk
(cd "$data/generax" && run plants --newick --families families_plants.txt && exit $fail) || fail=1
(cd "$data/generax" &&
  "$kelvora" --newick --families families_plants.txt -b -c \
    -S data/plants/species_trees/speciesTree.newick >"$scratch/plants-given.out" 2>&1) ||
  { echo "=== plants: the cost report of the given species tree failed"; fail=1; }
[ $fail = 0 ] && echo "every collection ran through the search and the cost report"
exit $fail
