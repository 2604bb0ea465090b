#!/bin/bash
# SPR search over gene trees with polytomies (the held resolutions, resolved again after each
# step and costed exactly at the end) against the same search over one fixed binary resolution
# of the same trees (the resolution the reader builds, printed with -p): farm-bench runs them
# in turn and prints the ratio.
# Usage: bench/polytomy.sh [GENES.nw] [build-dir] [runs]
#   (default ../shared/data/realworld/astral-pro/genetree-contracted.nw, build, 3)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
genes=${1:-$here/../shared/data/realworld/astral-pro/genetree-contracted.nw}
genes=$(cd "$(dirname "$genes")" && pwd)/$(basename "$genes")
kv=$(cd "${2:-$here/build}" && pwd)/kelvora
runs=${3:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$kv" --newick -G "$genes" -p >fixed.txt
farm-bench -n "$runs" --warmup 0 --timeout 1200 \
  --vs "$kv -G fixed.txt -Y --spr --seed 1 --out fixed --force" \
  -- "$kv" --newick -G "$genes" -Y --spr --seed 1 --out poly --force
