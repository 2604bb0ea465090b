#!/bin/bash
# The species-tree searches side by side on real and simulated collections: the NNI search
# (-Y) and the SPR search (-Y --spr, and with --fuse), with wall time, cost reached and peak
# memory.
# Usage: bench/sprsearch.sh [build-dir] [data-dir]  (defaults build-release, ../shared/data)
# PARTS chooses the collections (default: guigo16 treefam25 sim200 sim500 plants83).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(cd "${1:-build-release}" 2>/dev/null && pwd) || {
  cmake -S . -B "${1:-build-release}" -DCMAKE_BUILD_TYPE=Release -DKELVORA_TESTS=OFF >/dev/null
  dir=$(cd "${1:-build-release}" && pwd)
}
cmake --build "$dir" -j2 --target kelvora kvgen >/dev/null
data=$(cd "${2:-../shared/data}" && pwd)
bench=$(pwd)/bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

run() {  # label, then kelvora's arguments
  local label=$1
  shift
  rm -f ./*.kv.txt
  /usr/bin/time -f '%e %U %M' -o time.txt "$dir/kelvora" "$@" >out.txt
  read -r wall user peak <time.txt
  cost=$(sed -n 's/^Optimal cost://p' out.txt)
  printf '%-34s %-44s %8s %8s %12s %8d\n' "$label" "$*" "$wall" "$user" "$cost" $((peak / 1024))
}
# User seconds show what a loaded machine hides in the wall time.
header() { printf '%-34s %-44s %8s %8s %12s %8s\n' data options "wall s" "user s" cost "peak MiB"; }

parts=" ${PARTS:-guigo16 treefam25 sim200 sim500 plants83} "
want() { [[ $parts == *" $1 "* ]]; }

if want guigo16; then
  echo "== guigo16 (best known 264): 20 seeds"
  header
  for s in $(seq 1 20); do
    run "guigo16 seed $s" -G "$data/guigo16/genes.txt" -Y --spr --greedy 24 -j 0 --seed "$s" --exact
  done
  run "guigo16 NNI" -G "$data/guigo16/genes.txt" -Y --seed 1 --exact
  echo
fi

if want treefam25; then
  echo "== treefam25 (best known 20187)"
  header
  run "treefam25 NNI" -G "$data/treefam25/genes.txt" -Y --seed 1 --exact
  run "treefam25 SPR" -G "$data/treefam25/genes.txt" -Y --spr -j 0 --seed 1 --exact
  run "treefam25 SPR 2 threads" -G "$data/treefam25/genes.txt" -Y --spr -j 0 --seed 1 --exact \
    --threads 2
  echo
fi

simulated() {  # species families seconds
  "$dir/bench/kvgen" -n "$1" -f "$2" -d 0.2 -l 0.2 -E 0.05 -M 500 -x 3 -s species.txt -g genes.txt
  echo "simulated tree cost $("$dir/kelvora" -G genes.txt -S species.txt -b -c --exact | cut -f2)"
  run "sim $1 x $2 NNI" -G genes.txt -Y --seed 1 --exact
  head -1 ./*.kv.txt >nni.best
  run "sim $1 x $2 SPR" -G genes.txt -Y --spr --seed 1 --exact --time-limit "$3"
  head -1 ./*.kv.txt >spr.best
  echo "normalised RF to the simulated tree: NNI $(python3 "$bench/rf.py" species.txt nni.best)," \
    "SPR $(python3 "$bench/rf.py" species.txt spr.best)"
}

if want sim200 || want sim500; then
  echo "== simulated (kvgen: duplication and loss rate 0.2, gene-tree error 0.05 NNIs per node)"
  header
  if want sim200; then simulated 200 1000 55; fi
  if want sim500; then simulated 500 1000 290; fi
  echo
fi
if want plants83; then
  echo "== plants83 (9237 families, 83 species)"
  header
  run "plants83 NNI" -G "$data/plants83/genes.txt" -Y --seed 1 --exact
  run "plants83 SPR, 10 min" -G "$data/plants83/genes.txt" -Y --spr --seed 1 --exact --time-limit 590
  run "plants83 SPR + perturbation, 10 min" -G "$data/plants83/genes.txt" -Y --spr --seed 1 --exact \
    --perturb 1000000 --time-limit 590
  for s in 1 2 3; do
    run "plants83 SPR 2 threads, seed $s" -G "$data/plants83/genes.txt" -Y --spr --seed "$s" --exact \
      --threads 2 --time-limit 600
    run "plants83 fused, 2 threads, seed $s" -G "$data/plants83/genes.txt" -Y --spr --fuse \
      --greedy 6 --seed "$s" --exact --threads 2 --time-limit 600
  done
fi
