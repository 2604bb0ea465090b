#!/bin/bash
# Reading cost of the Newick reader (--newick) against the plain reader, on one gene-tree list
# file: each run only reads (-b with nothing to report). Runs alternate, and the median CPU
# time (user + system) of each is printed, with their ratio; then the same file decorated as
# inference programs write it (lengths, supports, NHX tags), read with --newick.
# Usage: bench/newick.sh GENES.txt [build-dir] [runs]   (build-dir default build-release)
set -euo pipefail
genes=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cd "$(dirname "$0")/.."
dir=${2:-build-release}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKELVORA_TESTS=OFF >/dev/null
cmake --build "$dir" -j2 --target kelvora >/dev/null
dir=$(cd "$dir" && pwd)
runs=${3:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cpu() {  # CPU seconds of one run of the command
  /usr/bin/time -f '%U %S' -o t.txt "$@" >/dev/null 2>&1
  awk '{print $1 + $2}' t.txt
}
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# Lengths on every node, a support on every inner node, an NHX tag on every leaf.
awk '{ gsub(/[A-Za-z_][A-Za-z0-9_.-]*/, "&:0.05[\\&\\&NHX:D=N]"); gsub(/\)/, ")95:0.1"); print $0 ";" }' \
  "$genes" >decorated.nwk

# All three readings give the same trees.
"$dir/kelvora" -G "$genes" -p >plain.out
"$dir/kelvora" --newick -G "$genes" -p | cmp -s - plain.out || { echo "--newick read other trees"; exit 1; }
"$dir/kelvora" --newick -G decorated.nwk -p | cmp -s - plain.out ||
  { echo "--newick read other trees from the decorated file"; exit 1; }

for i in $(seq "$runs"); do
  cpu "$dir/kelvora" -G "$genes" -b >>plain.txt
  cpu "$dir/kelvora" --newick -G "$genes" -b >>newick.txt
  cpu "$dir/kelvora" --newick -G decorated.nwk -b >>decorated.txt
done
p=$(median <plain.txt) n=$(median <newick.txt) d=$(median <decorated.txt)
printf '%-44s %8s\n' "reader (median CPU s of $runs runs)" seconds
printf '%-44s %8.3f\n' "plain reader" "$p"
printf '%-44s %8.3f   %.2fx plain\n' "--newick, same file" "$n" "$(awk "BEGIN {print $n / $p}")"
printf '%-44s %8.3f   %.2fx plain (%s MB)\n' "--newick, decorated: lengths, supports, NHX" "$d" \
  "$(awk "BEGIN {print $d / $p}")" "$(( $(wc -c <decorated.nwk) / 1000000 ))"
