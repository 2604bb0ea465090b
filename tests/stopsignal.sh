#!/bin/bash
# A signal ends a running search as a finished one ends: report, store and --best saved, then
# "Search interrupted" and the status a shell gives the signal. The signal is sent once the
# first step line is out, and the data make a search of many seconds, so it always lands
# while the search runs.
set -u
program=$1 kvgen=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
"$kvgen" -n 60 -f 400 -x 1 -s species.txt -g genes.txt || exit 1
# Job control gives the background run SIGINT as a terminal would, instead of ignoring it.
set -m
fail=0
check() {  # signal expected-status
  local sig=$1 want=$2
  # out.txt too: the last run's "Searching" line would let the signal go before this run starts.
  rm -f stopped.* out.txt err.txt
  "$program" -G genes.txt -Y -k 2 --seed 1 --out stopped >out.txt 2>err.txt &
  local pid=$!
  for ((i = 0; i < 600; i++)); do
    grep -q Searching out.txt && break
    sleep 0.05
  done
  kill -"$sig" "$pid"
  wait "$pid"
  local status=$?
  report() { echo "=== SIG$sig: $*"; fail=1; }
  [ "$status" = "$want" ] || report "exit status $status, expected $want"
  [ "$(cat err.txt)" = "Search interrupted" ] || report "standard error: $(cat err.txt)"
  grep -qx "Search stopped by SIG$sig" out.txt || report "no \"Search stopped by SIG$sig\" line"
  grep -qx "OK. Search completed" out.txt && report "reported as completed"
  tail -1 out.txt | grep -qx "stopped.kv.txt saved" || report "no save reported"
  # Every tree found so far, each line a cost and a tree; the optimal ones also in Newick.
  [ -s stopped.kv.txt ] || report "store not saved"
  grep -qvE '^[0-9]+ \(.*\)$' stopped.kv.txt && report "malformed store line"
  local optimal
  optimal=$(sed -n 's/^Optimal cost://p' out.txt)
  [ "$(grep -c "^$optimal " stopped.kv.txt)" = "$(sed -n 's/^Number of optimal trees://p' out.txt)" ] ||
    report "optimal trees of the store and the report differ"
  diff <(sed -n "s/^$optimal \(.*\)/\1;/p" stopped.kv.txt) stopped.best.nwk >/dev/null ||
    report "stopped.best.nwk does not hold the optimal trees of the store"
}
check TERM 143
check INT 130
exit $fail
