#!/bin/bash
# Seeded searches killed (SIGKILL) at random moments and resumed from their checkpoints must
# print the tail of the output of a run never killed and save the same files.
#   resume.sh KVGEN SCRATCH 'COMMAND ...'
# COMMAND starts the program (with leading arguments, such as 'mpirun -np 2 kelvora'); each
# run is started in a session of its own so that the kill reaches every process.
set -u
kvgen=$1 scratch=$2 program=$3
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
"$kvgen" -n 22 -f 150 -x 4 -E 0.3 -s species.txt -g genes.txt >/dev/null || exit 1
fail=0
report() { echo "=== $*"; fail=1; }
RANDOM=7  # the moments of the kills, the same in every run of the test

searches=(
  "-G genes.txt -Y --seed 3 -q 2 -r 2 -k 2 -j 3"
  "-G genes.txt -Y --spr --seed 5 --greedy 2 --perturb 12 --fuse"
  "-G genes.txt -Y --spr --seed 6 --priced --perturb 6 --threads 2"
)
for args in "${searches[@]}"; do
  rm -rf ref && mkdir ref && ln -s ../genes.txt ref/ || exit 1
  start=$(date +%s%N)
  (cd ref && $program $args --out run >out.txt 2>err.txt) ||
    { report "$args: the reference run failed"; continue; }
  span=$((($(date +%s%N) - start) / 1000000))  # ms
  for kill in 1 2 3; do
    rm -rf k && mkdir k && ln -s ../genes.txt k/ && cd k || exit 1
    wait=$((RANDOM % (span + 1)))
    setsid $program $args --out run --checkpoint cp --checkpoint-every 0 >/dev/null 2>&1 &
    pid=$!
    sleep "$(printf '%d.%03d' $((wait / 1000)) $((wait % 1000)))"
    # Every process of the session, those mpirun started in groups of their own too, and
    # only then the resumed run: a process of the killed one could still write.
    while pkill -KILL -s "$pid" 2>/dev/null; do sleep 0.05; done
    wait "$pid" 2>/dev/null
    if [ -f cp ]; then
      rm -f run.*  # a run that ended before the kill resumes from its last checkpoint
      $program $args --out run --resume cp >out.txt 2>err.txt
      status=$?
      lines=$(wc -l <out.txt)
      [ "$status" = 0 ] || report "$args, killed after $wait ms: resumed with status $status: $(cat err.txt)"
      [ "$(cat err.txt)" = "Resuming the search saved in cp" ] ||
        report "$args, killed after $wait ms: standard error $(cat err.txt)"
      tail -n "$lines" ../ref/out.txt | cmp -s - out.txt ||
        report "$args, killed after $wait ms: output is not the tail of the unkilled run's"
      for f in run.kv.txt run.best.nwk; do
        cmp -s "$f" "../ref/$f" || report "$args, killed after $wait ms: $f differs"
      done
    fi
    cd .. || exit 1
  done
done

# A checkpoint resumed by other arguments, or damaged, is refused with the reason.
cd k || exit 1
args="-G genes.txt -Y --spr --seed 5 --greedy 1"
rm -f cp run.* && $program $args --checkpoint cp >/dev/null 2>&1
$program -G genes.txt -Y --spr --seed 6 --greedy 1 --resume cp >out.txt 2>err.txt
[ $? = 255 ] && grep -q "Cannot resume from cp: it was saved by a run of other arguments" err.txt ||
  report "other arguments: $(cat err.txt)"
head -c 300 cp >cut && $program $args --resume cut >out.txt 2>err.txt
# (grep: under mpirun, mpirun adds lines of its own and every process reads the file)
[ $? = 255 ] && grep -q "Checkpoint cut is damaged or cut short: it cannot be resumed" err.txt ||
  report "cut short: $(cat err.txt)"
$program $args --resume genes.txt >out.txt 2>err.txt
[ $? = 255 ] && grep -q "Cannot resume from genes.txt: it is not a checkpoint of kelvora" err.txt ||
  report "not a checkpoint: $(cat err.txt)"
exit $fail
