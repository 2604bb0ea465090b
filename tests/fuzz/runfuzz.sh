#!/bin/bash
# Fuzzes one parser target for a bounded time from its seed corpus and its saved regression
# inputs:  runfuzz.sh FUZZER TARGET SECONDS SCRATCH
# A failing input is left in SCRATCH/TARGET/ and shown in base64; save it as
# tests/fuzz/regressions/TARGET/<short-name> so the unit tests replay it.
set -u
fuzzer=$1 target=$2 seconds=$3 scratch=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$scratch/$target
rm -rf "$work" && mkdir -p "$work/corpus" "$work/run" || exit 1
seeds=("$here/corpus/$target")
[ -d "$here/regressions/$target" ] && seeds+=("$here/regressions/$target")
# New inputs go to the scratch corpus, never into the repository. List files may name raw
# files by relative paths: run where nothing else lives.
cd "$work/run" || exit 1
UBSAN_OPTIONS=print_stacktrace=1 "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -dict="$here/trees.dict" -artifact_prefix="$work/" \
  -print_final_stats=1 "$work/corpus" "${seeds[@]}" \
  >"$work/log" 2>&1
status=$?
if [ $status -eq 0 ]; then
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log"
  exit 0
fi
tail -n 80 "$work/log"
for f in "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/slow-unit-*; do
  [ -f "$f" ] || continue
  echo "=== failing input $f ($(wc -c <"$f") bytes), base64:"
  head -c 65536 "$f" | base64
done
echo "=== fuzz target $target failed with status $status"
exit 1
