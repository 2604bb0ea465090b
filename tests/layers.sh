#!/bin/bash
# Includes point down: a file of a folder may include files of its own folder or of the
# folders below it, never above. The order is the top CMakeLists.txt's list of folders,
# lowest first, so there is one place to change it. Prints every include that points up, or
# at a project folder outside that list, and fails if there is one.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
layers=$(sed -n 's/^foreach(dir \(.*\))$/\1/p' CMakeLists.txt)
[ -n "$layers" ] || { echo "no 'foreach(dir ...)' list of folders in CMakeLists.txt"; exit 2; }
declare -A rank
n=0
for d in $layers; do
  rank[$d]=$n
  n=$((n + 1))
done
bad=0
for d in $layers; do
  [ -d "$d" ] || { echo "$d: listed in CMakeLists.txt but missing"; bad=1; continue; }
  while IFS= read -r hit; do
    file=${hit%%:*} rest=${hit#*:} line=${rest%%:*} text=${rest#*:}
    [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"\<]([^/\">]+)/ ]] || continue
    target=${BASH_REMATCH[1]}
    if [ -n "${rank[$target]+x}" ]; then
      [ "${rank[$target]}" -le "${rank[$d]}" ] && continue
      echo "$file:$line: $d/ includes $target/, a higher layer: ${text#"${text%%[![:space:]]*}"}"
      bad=1
    elif [ -d "$target" ]; then
      echo "$file:$line: $d/ includes $target/, which is not a layer: ${text#"${text%%[![:space:]]*}"}"
      bad=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' --include='*.h' --include='*.cpp' "$d")
done
[ $bad = 0 ] && echo "layers, lowest first: $layers"
exit $bad
