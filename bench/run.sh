#!/bin/bash
# The benchmark command: a release build, the micro-benchmarks, and whole searches on
# synthetic data, printed as tables. Usage: bench/run.sh [build-dir]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-release}

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKELVORA_BENCH=ON -DKELVORA_TESTS=OFF >/dev/null
cmake --build "$dir" -j2 --target kelvora kvgen kelvorabench >/dev/null

echo "== Machine"
echo "$(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo

echo "== LCA table, cost report, rooting report, NNI moves (Google Benchmark)"
"$dir/bench/kelvorabench" --benchmark_counters_tabular=true
echo

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== Whole searches (-Y from one quasi-consensus tree), kvgen data: duplication and loss rate 0.2"
printf '%-28s %10s %10s %12s %12s %14s %12s\n' data "wall s" NNIs "NNIs/s" "unique trees" "optimal cost" "peak MiB"
for size in "50 1000" "200 5000"; do
  set -- $size
  (cd "$work" && "$OLDPWD/$dir/bench/kvgen" -n "$1" -f "$2" -d 0.2 -l 0.2 -M 200 -x 7 -s species.txt -g genes.txt)
  start=$(date +%s.%N)
  if [ -x /usr/bin/time ]; then
    (cd "$work" && /usr/bin/time -f '%M' -o time.txt "$OLDPWD/$dir/kelvora" -G genes.txt -Y >out.txt)
    peak=$(awk '{printf "%.1f", $1 / 1024}' "$work/time.txt")
  else
    (cd "$work" && "$OLDPWD/$dir/kelvora" -G genes.txt -Y >out.txt)
    peak="-"
  fi
  end=$(date +%s.%N)
  wall=$(echo "$end - $start" | bc -l 2>/dev/null || awk "BEGIN {print $end - $start}")
  nnis=$(sed -n 's/^Number of NNI.s://p' "$work/out.txt")
  unique=$(sed -n 's/^Unique trees://p' "$work/out.txt")
  optimal=$(sed -n 's/^Optimal cost://p' "$work/out.txt")
  printf '%-28s %10.2f %10d %12.0f %12d %14s %12s\n' "$1 species x $2 gene trees" "$wall" "$nnis" \
    "$(awk "BEGIN {print $nnis / $wall}")" "$unique" "$optimal" "$peak"
  rm -f "$work"/*.kv.txt kelvora.log
done
