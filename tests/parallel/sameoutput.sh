#!/bin/bash
# Runs every argument line of a runs file under several ways of starting the program and
# requires the same bytes from each: standard output, standard error, exit status and every
# file written (saved stores and dumps by content, kelvora.log without its time lines and
# without the --threads option). The first way is the reference.
#   sameoutput.sh KVGEN SCRATCH RUNS 'COMMAND ...' 'COMMAND ...' ...
# Each COMMAND is a program with leading arguments, such as 'kelvora --threads 2' or
# 'mpirun -np 2 kelvora'; the line's arguments follow it. Lines run in a folder holding
# species.txt and genes.txt, a collection made by kvgen large enough to be shared out,
# small.txt, a few tiny gene trees, unknown.txt, a gene tree with a species that
# species.txt lacks, and the files below for the readers; '#' starts a comment line.
set -u
kvgen=$1 scratch=$2 runs=$3
shift 3
rm -rf "$scratch" && mkdir -p "$scratch/data" || exit 1
(cd "$scratch/data" && "$kvgen" -n 24 -f 400 -d 0.2 -l 0.2 -M 60 -x 5 -s species.txt -g genes.txt) ||
  exit 1
printf '%s\n' '(s0,s1,(s2,s3))' '((s0,s0),(s1,s2),s3)' '(s0,(s1,(s2,(s3,s4))),s0)' >"$scratch/data/small.txt"
printf '%s\n' '(s0,s1,(s2,zz))' >"$scratch/data/unknown.txt"
# Gene-tree files that the readers share out over threads in chunks of lines: bad trees far
# into them (two each: the first in the file is the one to report), a NUL byte, labels under
# a -l rule, and Newick with a tree over many lines, comments over lines (some of their lines
# ending in ';', where a chunk may start) and comment lines; Newick with lengths and supports.
(
  cd "$scratch/data" &&
    awk 'NR == 123 { sub(/\)/, "") } NR == 301 { sub(/,/, "%") } { print }' genes.txt >bad.txt &&
    { head -n 199 genes.txt; printf '(s0,\0s1,s2)\n'; tail -n +200 genes.txt; } >nul.txt &&
    sed 's/\(s[0-9]*\)/\1_g/g' genes.txt >labels.txt &&
    awk 'NR == 250 { sub(/_g/, "") } { print }' labels.txt >badlabels.txt &&
    awk 'NR % 40 == 0 { print "[a comment;"; print "  over lines;"; print "]" }
         NR % 70 == 0 { print "# a comment line;" } { print }' genes.txt |
      sed 's/,/,\n  /g; s/)$/);/' >newick.txt &&
    awk 'NR == 5000 { sub(/s/, "'"'"'s") } NR == 9000 { sub(/,/, ",,") } { print }' newick.txt >badnewick.txt &&
    "$kvgen" -T "$(cat species.txt)" -f 300 -d 0.2 -l 0.2 -M 60 -b -x 6 -s lengthspecies.txt |
      sed -E 's/\)(:[^,)]*),/)87\1,/g; s/\)(:[^,)]*)\)/)80\/95\1)/g; s/,/,\n  /g; s/\)$/);/' >supports.txt
) || exit 1

stamp='[0-9]\{8\}\.[0-9]\{6\}'
# One run's outputs as one text: status, outputs, then each written file under a name
# without its time stamp, in name order.
summary() {  # folder
  local d=$1
  echo "status $(cat "$d/.status")"
  echo "== stdout"; sed "s/$stamp/TIME/g" "$d/.stdout"
  echo "== stderr"; cat "$d/.stderr"
  for f in $(cd "$d" && ls | sed "s/$stamp/TIME/" | sort); do
    [ -e "$scratch/data/$f" ] && continue
    real=$(cd "$d" && ls | grep -x "$(printf '%s' "$f" | sed 's/TIME/[0-9]\\{8\\}\\.[0-9]\\{6\\}/')" | head -1)
    echo "== file $f"
    if [ "$f" = kelvora.log ]; then
      grep -v '^#' "$d/$real" | sed 's/ --threads [0-9]*//'
    else
      cat "$d/$real"
    fi
  done
}

fail=0 n=0
while IFS= read -r line; do
  case $line in ''|'#'*) continue ;; esac
  n=$((n + 1))
  k=0
  for command in "$@"; do
    k=$((k + 1))
    d="$scratch/run$n.$k"
    mkdir -p "$d" && cp "$scratch"/data/* "$d/"
    # No standard input: mpirun would forward it, and with it the rest of the runs file.
    (cd "$d" && eval "$command $line" </dev/null >.stdout 2>.stderr; echo $? >.status)
    summary "$d" >"$scratch/run$n.$k.txt"
    if [ $k -gt 1 ] && ! cmp -s "$scratch/run$n.1.txt" "$scratch/run$n.$k.txt"; then
      echo "=== differs: [$command] $line"
      diff "$scratch/run$n.1.txt" "$scratch/run$n.$k.txt" | head -20
      fail=1
    fi
  done
  rm -rf "$scratch"/run$n.*/
  [ $fail = 1 ] || rm -f "$scratch"/run$n.*.txt
done <"$runs"
[ $n -gt 0 ] || { echo "no runs in $runs"; exit 1; }
echo "$n argument lines, $# ways each: $([ $fail = 0 ] && echo same bytes || echo DIFFERENT)"
exit $fail
