#!/bin/bash
# Sanity checks of kvgen with fixed seeds: repeatable output that kelvora reads.
set -u
kvgen=$1 kelvora=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
fail=0
check() { echo "FAILED: $*"; fail=1; }

"$kvgen" --help | grep -q '^Usage: kvgen' || check "help text"
"$kvgen" -q 2>/dev/null && check "an unknown option is refused"

"$kvgen" -n 12 -f 20 -x 7 -s s1.txt -g g1.txt || check "run 1"
"$kvgen" -n 12 -f 20 -x 7 -s s2.txt -g g2.txt || check "run 2"
cmp -s g1.txt g2.txt && cmp -s s1.txt s2.txt || check "same seed, same output"
"$kvgen" -n 12 -f 20 -x 8 -s s3.txt -g g3.txt
cmp -s g1.txt g3.txt && check "another seed, other output"
[ "$(wc -l <g1.txt)" = 20 ] || check "20 families"
# Every family keeps at least 3 genes: at least 2 commas per line.
awk -F, 'NF < 3 { bad = 1 } END { exit bad }' g1.txt || check "families of fewer than 3 genes"
[ "$(tr -cd , <s1.txt | wc -c)" = 11 ] || check "12 species"
"$kelvora" -S s1.txt -G g1.txt -b -c >out1.txt 2>err1.txt || { cat err1.txt; check "kelvora reads plain labels"; }

for shape in balanced caterpillar; do
  "$kvgen" -n 9 -t $shape -f 5 -d 0.4 -l 0.2 -b -L prefix -s s4.txt -g g4.txt || check "$shape"
  "$kelvora" -S s4.txt -l b_ -G g4.txt -b -c >out4.txt 2>err4.txt ||
    { cat err4.txt; check "kelvora reads $shape families with lengths and prefix labels"; }
done
"$kvgen" -T '((a:1,b:2):1,(c,d):0.5);' -f 5 -L middle -s s5.txt -g g5.txt || check "given tree"
[ "$(cat s5.txt)" = "((a,b),(c,d))" ] || check "given species tree printed back"
"$kelvora" -S s5.txt -l a_ -G g5.txt -b -c >out5.txt 2>err5.txt ||
  { cat err5.txt; check "kelvora reads middle labels"; }
"$kvgen" -n 2 -d 0 -l 0 -f 1 -s - >/dev/null 2>&1 && check "two species and no duplication cannot give 3 genes"

[ $fail = 0 ] && echo "kvgen checks passed"
exit $fail
