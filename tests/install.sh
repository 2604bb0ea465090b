#!/bin/bash
# The installed program runs, its man page documents every option that --help lists, and a
# configuration without GoogleTest builds the program alone.
set -u
build=$1 source=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
fail=0
report() { echo "=== $*"; fail=1; }
cmake --install "$build" --prefix "$scratch/prefix" >install.log || report "install failed"
bin=$scratch/prefix/bin
page=$scratch/prefix/share/man/man1/kelvora.1
[ -x "$bin/kvgen" ] || report "kvgen not installed"
[ -f "$page" ] || report "kelvora.1 not installed"
"$bin/kelvora" --version | grep -qx 'kelvora [0-9]\+\.[0-9]\+\.[0-9]\+' || report "--version"
"$bin/kelvora" --help >help.txt || report "--help fails"
"$bin/kelvora" -h | cmp -s - help.txt || report "-h differs from --help"
"$bin/kelvora" -s '((a,b),c)' -g '((a,c),b)' -Y --best best.nwk >/dev/null &&
  [ "$(head -1 best.nwk)" = "((a,b),c);" ] || report "installed search"
# The page without its font changes and with plain hyphens.
sed 's/\\-/-/g; s/\\f[BIRP]//g' "$page" >page.txt
for option in $(grep -oE '(^  |, )--?[a-zA-Z][-a-zA-Z]*' help.txt | tr -d ','); do
  grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" page.txt || report "$option not in the man page"
done
cmake -S "$source" -B nogtest -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >configure.log 2>&1 ||
  report "configure without GoogleTest failed"
grep -q "tests are off" configure.log || report "configure without GoogleTest does not say so"
exit $fail
