#!/bin/bash
# Simulated collections at scale: `-Y --spr` with its defaults and a time limit, this build
# beside another (the build before a change), one after the other: cost reached against the
# simulated tree's, normalised RF distance to it (bench/rf.py), wall and user seconds, peak MiB.
# Usage: bench/simscale.sh new-build-dir old-kelvora SPECIES FAMILIES SECONDS [extra options]
# Families by kvgen -d 0.2 -l 0.2 -E 0.05 -M 3000 -x 3 (gene-tree error 0.05 NNIs per node).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(cd "$1" && pwd)
old=$(readlink -f "$2")
n=$3 f=$4 secs=$5
shift 5
bench=$(pwd)/bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$dir/bench/kvgen" -n "$n" -f "$f" -d 0.2 -l 0.2 -E 0.05 -M 3000 -x 3 -s species.txt -g genes.txt
awk -F, '{ print NF }' genes.txt | sort -n |
  awk '{ a[NR] = $1 } END { print "families", NR, "leaves: median", a[int((NR + 1) / 2)], "max", a[NR] }'
echo "simulated tree cost $("$dir/kelvora" -G genes.txt -S species.txt -b -c --exact | cut -f2)"
printf '%-6s %-60s %8s %8s %10s %6s %9s\n' build options "wall s" "user s" cost RF "peak MiB"
for which in new old; do
  kv=$dir/kelvora
  [ $which = old ] && kv=$old
  rm -f ./*.kv.txt
  args=(-G genes.txt -Y --spr --seed 1 --time-limit "$secs" "$@")
  /usr/bin/time -f '%e %U %M' -o time.txt "$kv" "${args[@]}" >out.txt 2>err.txt
  read -r wall user peak <time.txt
  head -1 ./*.kv.txt >best.txt
  printf '%-6s %-60s %8s %8s %10s %6s %9d\n' $which "${args[*]:2}" "$wall" "$user" \
    "$(cut -d' ' -f1 best.txt)" "$(python3 "$bench/rf.py" species.txt best.txt)" \
    $((peak / 1024))
  grep -m1 '^Search:' err.txt || true
done
