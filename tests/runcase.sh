#!/bin/bash
# Runs one command-line case: tests/cli/NAME holds
#   args            the arguments as typed after the program name (shell quoting)
#   stdout stderr   expected outputs (missing: empty)
#   status          expected exit status (missing: 0)
#   expect/FILE     files the run must write, byte for byte; in a name, TIME stands for the
#                   time stamp of a saved store, and kelvora.log is compared without its time lines
#   absent          names of files the run must not write, one a line
#   rundir          a folder to run in instead of the scratch directory (one that even root
#                   cannot write into, such as /proc); inputs are then given in args
#   anything else   input files, copied into a fresh scratch directory where the case runs.
# Time stamps in standard output and standard error are replaced by TIME before the comparison.
set -u
program=$1 case=$(cd "$2" && pwd) scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch" || exit 1
for f in "$case"/*; do
  name=$(basename "$f")
  case $name in args|stdout|stderr|status|expect|absent|rundir) ;; *) cp -r "$f" "$scratch/" ;; esac
done
ln -s "$program" "$scratch/kelvora"
args=""
[ -f "$case/args" ] && args=$(cat "$case/args")
cd "$scratch" || exit 1
eval "set -- $args"
if [ -f "$case/rundir" ]; then
  (cd "$(cat "$case/rundir")" && "$scratch/kelvora" "$@") >actual.stdout 2>actual.stderr
else
  ./kelvora "$@" >actual.stdout 2>actual.stderr
fi
status=$?
stamp='[0-9]\{8\}\.[0-9]\{6\}'
sed -i "s/$stamp/TIME/g" actual.stdout actual.stderr
fail=0
compare() {  # expected-file actual-file what
  local expected=$1 actual=$2 what=$3
  if [ -f "$expected" ]; then
    cmp -s "$expected" "$actual" && return 0
  else
    [ -s "$actual" ] || return 0
    expected=/dev/null
  fi
  echo "=== $what differs (expected, actual):"
  diff "$expected" "$actual" | head -40
  fail=1
}
compare "$case/stdout" actual.stdout "standard output"
compare "$case/stderr" actual.stderr "standard error"
want=0
[ -f "$case/status" ] && want=$(tr -d ' \n' <"$case/status")
if [ "$status" != "$want" ]; then
  echo "=== exit status $status, expected $want"
  fail=1
fi
if [ -d "$case/expect" ]; then
  for f in "$case"/expect/*; do
    name=$(basename "$f")
    if [ "$name" = kelvora.log ]; then
      grep -v '^#' kelvora.log >actual.log 2>/dev/null
      compare "$f" actual.log "kelvora.log"
      continue
    fi
    # The replacement needs its backslashes doubled to reach grep as \{8\}.
    pattern=$(printf '%s' "$name" | sed 's/TIME/[0-9]\\{8\\}\\.[0-9]\\{6\\}/g')
    written=$(ls | grep -x "$pattern" | head -1)
    if [ -z "$written" ]; then
      echo "=== file $name was not written"
      fail=1
    else
      compare "$f" "$written" "file $name"
    fi
  done
fi
if [ -f "$case/absent" ]; then
  while read -r name; do
    [ -n "$name" ] && [ -e "$name" ] && { echo "=== file $name should not have been written"; fail=1; }
  done <"$case/absent"
fi
exit $fail
