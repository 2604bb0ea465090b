#!/bin/bash
# Threads and MPI processes side by side, in one run: the same command with --threads 1 and 2,
# then under mpirun with 1 and 2 processes, on plants83 and on a large simulated collection.
# Usage: bench/parallel.sh [build-dir] [mpi-build-dir]   (defaults build-release, build-mpi)
# The MPI columns need an MPI build (-DKELVORA_MPI=ON); they are skipped without one.
# DATA names the folder of the real data sets (default /work/shared/data); ROWS, if set, runs
# only the rows whose name contains it (ROWS='-b -' for the two cost-report rows).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-release}
mpidir=${2:-build-mpi}
data=${DATA:-/work/shared/data}

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DKELVORA_TESTS=OFF >/dev/null
cmake --build "$dir" -j2 --target kelvora kvgen >/dev/null
mpidir=$(cd "$mpidir" 2>/dev/null && pwd || echo "$PWD/$mpidir")
mpi=""
if [ -x "$mpidir/kelvora" ] && command -v mpirun >/dev/null; then
  cmake --build "$mpidir" -j2 --target kelvora >/dev/null
  mpi="mpirun --oversubscribe --bind-to none -np"
fi
top=$PWD

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$top/$dir/bench/kvgen" -n 200 -f 5000 -d 0.2 -l 0.2 -M 200 -x 7 -s species.txt -g genes.txt)

echo "== Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
# Other work on the machine takes cores from the second thread or process: the load average
# at the end of each row tells how much.
# Wall seconds of one run (its output kept to compare the runs of a row).
run() {  # tag command...
  local tag=$1
  shift
  local start end
  start=$(date +%s.%N)
  (cd "$work" && "$@" </dev/null >"out.$tag" 2>&1)
  end=$(date +%s.%N)
  awk "BEGIN {printf \"%.2f\", $end - $start}"
}

# The ceiling: CPU time that one and two busy loops get in 3 s here. When other work fills the
# cores, two threads get little more than one, and no program can run faster on two.
busy() {  # loops
  local t0 t1 me=$BASHPID
  t0=$(awk '{print $14 + $15 + $16 + $17}' /proc/$me/stat)
  for ((k = 0; k < $1; k++)); do timeout 3 bash -c 'while :; do :; done' & done
  wait
  t1=$(awk '{print $14 + $15 + $16 + $17}' /proc/$me/stat)
  awk "BEGIN {printf \"%.2f\", ($t1 - $t0) / $(getconf CLK_TCK) / 3}"
}
one=$(busy 1) two=$(busy 2)
echo "== Cores this run gets: one busy loop $one, two busy loops $two (ceiling of a 2-way speedup:" \
     "$(awk "BEGIN {printf \"%.2fx\", $two / $one}"))"
printf '%-44s %9s %9s %8s %9s %9s %8s %-6s %s\n' case "1 thr s" "2 thr s" speedup "1 rank s" \
  "2 ranks s" speedup output load
row() {  # name arguments...
  local name=$1
  shift
  case $name in *"${ROWS:-}"*) ;; *) return 0 ;; esac
  local t1 t2 r1=- r2=- s2=- same=same
  t1=$(run t1 "$top/$dir/kelvora" --threads 1 "$@")
  t2=$(run t2 "$top/$dir/kelvora" --threads 2 "$@")
  if [ -n "$mpi" ]; then
    r1=$(run r1 $mpi 1 "$mpidir/kelvora" "$@")
    r2=$(run r2 $mpi 2 "$mpidir/kelvora" "$@")
    s2=$(awk "BEGIN {printf \"%.2fx\", $r1 / $r2}")
  fi
  for tag in t2 r1 r2; do
    [ -f "$work/out.$tag" ] || continue
    cmp -s <(sed 's/[0-9]\{8\}\.[0-9]\{6\}/TIME/' "$work/out.t1") \
           <(sed 's/[0-9]\{8\}\.[0-9]\{6\}/TIME/' "$work/out.$tag") || same=DIFFERENT
  done
  printf '%-44s %9s %9s %8s %9s %9s %8s %-6s %s\n' "$name" "$t1" "$t2" \
    "$(awk "BEGIN {printf \"%.2fx\", $t1 / $t2}")" "$r1" "$r2" "$s2" "$same" \
    "$(cut -d' ' -f1 /proc/loadavg)"
  rm -f "$work"/out.* "$work"/*.kv.txt
}

p=$data/plants83
row "plants83 -b -C" -S "$p/species.txt" -G "$p/genes.txt" -b -C
row "plants83 -b -XDL" -S "$p/species.txt" -G "$p/genes.txt" -b -XDL
row "plants83 -Y --seed 1 -j 0 (NNI)" -G "$p/genes.txt" -Y --seed 1 -j 0
row "plants83 -S -Y -j 0 (NNI, no consensus)" -S "$p/species.txt" -G "$p/genes.txt" -Y -j 0
row "treefam25 -Y --spr --seed 1 -j 0 (SPR)" -G "$data/treefam25/genes.txt" -Y --spr --seed 1 -j 0
# A whole plants83 SPR search runs for many minutes; its moves are those of the NNI rows.
row "kvgen 200 x 5000 -Y --seed 1 -j 0 (NNI)" -G genes.txt -Y --seed 1 -j 0
echo "== load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
