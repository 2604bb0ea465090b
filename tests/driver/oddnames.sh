#!/bin/bash
# Species named as real collections name them (digits only, blanks, brackets and quotes inside
# quotes, long, non-ASCII) run through every search start, -w, --events and --reconciled; the
# trees each search saves are read back and costed afresh, and that cost must be the one the
# search reported.
set -u
kelvora=$1 kvgen=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
long=$(printf 'Longname%.0s' $(seq 1 25))
names=("'Homo sapiens'" "13" "'x(1)[2];y,z'" "Ñandú" "$long" "'it''s'" "42" "'a b'" "s8")
fail=0
check() {  # what status
  if [ "$2" != 0 ]; then
    echo "=== $1 exited $2"; cat err; fail=1
  fi
}
for seed in 1 2 3 4 5 6; do
  n=$((5 + seed % 5))
  "$kvgen" -n $n -f 14 -d 0.2 -l 0.2 -x $seed -s sp.txt -g g.txt >/dev/null 2>&1 || exit 1
  for ((i = 0; i < n; i++)); do
    # Placeholders first, so that no name is renamed twice.
    sed -i -E "s/\\bs$i\\b/@$i@/g" g.txt sp.txt
  done
  for ((i = 0; i < n; i++)); do
    name=${names[$i]//\\/\\\\}
    name=${name//&/\\&}
    sed -i "s/@$i@/${name//\//\\/}/g" g.txt sp.txt
  done
  for mode in "--spr" "--spr -q 1" "--spr -r 1" "--spr --greedy 2 --fuse" "-q 1" "-S sp.txt"; do
    rm -f best.nwk
    # shellcheck disable=SC2086
    "$kelvora" --newick -G g.txt -Y $mode --seed $seed --best best.nwk --out run --force \
      --events ev --reconciled rec.xml --reconciled-format recphyloxml >out 2>err
    check "seed $seed -Y $mode" $?
    want=$(sed -n 's/^Optimal cost://p' out)
    got=$("$kelvora" --newick -G g.txt -S best.nwk -b -c 2>err | cut -f2 | sort -u)
    check "seed $seed -b on the trees of -Y $mode" $?
    if [ "$want" != "$got" ]; then
      echo "=== seed $seed -Y $mode: search reported $want, the saved trees cost $got"
      fail=1
    fi
  done
  "$kelvora" --newick -G g.txt -w 2 >w.txt 2>err
  check "seed $seed -w 2" $?
  "$kelvora" --newick -G g.txt -S w.txt -b -c -O >/dev/null 2>err
  check "seed $seed -b on the trees of -w" $?
done
# Read without --newick, such names stop the plain reader: at a terminal it adds how to read
# them, and a redirected standard error keeps the message alone.
hint="This text reads as standard Newick: give --newick to read it so."
"$kelvora" -G g.txt -p >/dev/null 2>err
grep -q "$hint" err && { echo "=== the hint went to a redirected standard error"; fail=1; }
if command -v script >/dev/null; then
  script -qec "'$kelvora' -G g.txt -p" /dev/null >tty.txt 2>&1
  grep -q "$hint" tty.txt || { echo "=== no --newick hint at a terminal"; cat tty.txt; fail=1; }
fi
[ $fail = 0 ] && echo "odd species names: every mode ran and every saved tree costs what was reported"
exit $fail
