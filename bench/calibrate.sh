#!/bin/bash
# Calibration of --support and --bootstrap on simulated collections (bench/RESULTS.md):
# COUNT collections per setting, of 50 to 200 species, families grown by duplication and
# loss with gene-tree error (kvgen -E); the best tree's branches against the simulated tree.
#   bench/calibrate.sh [COUNT [REPLICATES]]      (release build in build/ first)
set -eu
count=${1:-20} boot=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
kvgen=$root/build/bench/kvgen kelvora=$root/build/kelvora
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for setting in "100 0.3" "30 0.4"; do
  set -- $setting
  families=$1 error=$2
  for i in $(seq 1 "$count"); do
    n=$((50 + (i * 53) % 151))
    "$kvgen" -n $n -f $families -d 0.2 -l 0.2 -M 60 -E $error -x $((1000 + i)) -s s.txt -g g.txt
    "$kelvora" -G g.txt -Y --spr -j 0 --seed $i --support --bootstrap $boot \
      --best best.nwk --out run --force >/dev/null
    python3 "$root/bench/calibrate.py" branches s.txt best.nwk |
      sed "s/^/f${families}e${error} /" >>rows.txt
  done
done
python3 "$root/bench/calibrate.py" table rows.txt
