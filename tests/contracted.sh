#!/bin/bash
# ASTRAL-Pro's contracted gene trees (polytomies everywhere), read in place: the cost report
# under a species tree, and the main search for a few seconds, whose saved best tree costs
# exactly what a cost report of it gives. Skipped (77) without ../shared.
# Usage: contracted.sh KELVORA DATA-DIR SCRATCH
set -euo pipefail
kv=$1 data=$2/astral-pro/genetree-contracted.nw scratch=$3
[ -f "$data" ] || exit 77
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch"
"$kv" --newick -G "$data" -Y --spr --seed 1 --time-limit 3 --out run >search.out
best=$(head -1 run.kv.txt)
cost=${best%% *}
tree=${best#* }
echo "$tree" >best.txt
report=$("$kv" --newick -G "$data" -S best.txt -b -c)
got=$(printf '%s\n' "$report" | cut -f2)
[ "$got" = "$cost" ] || { echo "saved $cost, cost report $got"; exit 1; }
grep -q "^Optimal cost:$cost\$" search.out || { echo "report does not print $cost"; exit 1; }
# With --collapse 50 the trees lose more branches, so the least cost can only fall.
low=$("$kv" --newick --collapse 50 -G "$data" -S best.txt -b -c | cut -f2)
awk -v a="$low" -v b="$got" 'BEGIN { exit !(a <= b) }' || { echo "collapsed $low > $got"; exit 1; }
echo "ok: $cost, collapsed $low"
