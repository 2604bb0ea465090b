#!/bin/bash
# Every recPhyloXML file that --reconciled writes, validated against the format's published
# schema, read in place: the species tree (a phyloXML phylogeny) and each recGeneTree. The
# schema's files put the elements in namespaces that the files of the field leave out, and
# its top-level recPhylo file cannot be loaded (its species-tree part is not well formed), so
# each part is cut out, put in its namespace and validated with xmllint; the whole file is
# checked to be well formed and to hold spTree then one recGeneTree per gene tree.
# Skipped (77) without the schema folder or xmllint; in CI a missing xmllint fails.
set -u
program=$1 kvgen=$2 cli=$3 examples=$4 schema=$5 scratch=$6
if [ ! -f "$schema/recGeneTree.nogeo.xsd" ] || [ ! -f "$schema/phyloxml.xsd" ]; then
  echo "no recPhyloXML schema in $schema"
  exit 77
fi
if ! command -v xmllint >/dev/null; then
  echo "missing: xmllint (libxml2-utils)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
fail=0
files=0

# check FILE GENETREES: validates FILE, which must hold GENETREES gene trees.
check() {
  local f=$1 want=$2 parts=parts.${1%.xml}
  files=$((files + 1))
  xmllint --noout "$f" || { echo "$f: not well formed"; fail=1; return; }
  local top
  top=$(grep -E '^(<|  <)[^ ]' "$f" | tr -d ' \n')
  local expected='<?xmlversion="1.0"encoding="UTF-8"?><recPhylo><spTree></spTree>'
  for ((k = 0; k < want; k++)); do expected+='<recGeneTree></recGeneTree>'; done
  expected+='</recPhylo>'
  if [ "$top" != "$expected" ]; then
    echo "$f: expected recPhylo, spTree and $want recGeneTree elements, found:"
    echo "$top" | head -c 400
    echo
    fail=1
    return
  fi
  rm -rf "$parts" && mkdir "$parts"
  awk -v dir="$parts" '
    $0 == "  <spTree>" { out = dir "/species.xml"; print "<phyloxml xmlns=\"http://www.phyloxml.org\">" >out; next }
    $0 == "  </spTree>" { print "</phyloxml>" >out; close(out); out = ""; next }
    $0 == "  <recGeneTree>" { out = sprintf("%s/gene%05d.xml", dir, ++n)
                              print "<recGeneTree xmlns=\"http://www.recgenetreexml.org\">" >out; next }
    $0 == "  </recGeneTree>" { print >out; close(out); out = ""; next }
    out != "" { print >out }' "$f"
  xmllint --noout --schema "$schema/phyloxml.xsd" "$parts/species.xml" 2>"$parts/species.log" ||
    { echo "$f: species tree:"; head -5 "$parts/species.log"; fail=1; }
  xmllint --noout --schema "$schema/recGeneTree.nogeo.xsd" "$parts"/gene*.xml 2>"$parts/genes.log" ||
    { echo "$f: gene trees:"; grep -v ' validates$' "$parts/genes.log" | head -5; fail=1; }
}

# The bundled example, reconciled with its species tree and with a searched one.
"$program" -S "$examples/species.txt" -G "$examples/genes.txt" --reconciled ex.xml \
  --reconciled-format recphyloxml || exit 1
check ex.xml "$(grep -c . "$examples/genes.txt")"
"$program" -G "$examples/genes.txt" -Y --spr --seed 1 --out search --reconciled search.xml \
  --reconciled-format recphyloxml >/dev/null || exit 1
check search.xml "$(grep -c . "$examples/genes.txt")"

# IQ-TREE's trees as --newick reads them: lengths, supports (80/95 too), quoted labels, a map.
rw=$cli/newick-real-world
"$program" --newick --map "$rw/genes.map" -G "$rw/genes.nwk" -S "$rw/species.nwk" \
  --reconciled rw.xml --reconciled-format recphyloxml || exit 1
check rw.xml 3
grep -q '<branch_length>' rw.xml && grep -q '<confidence type="support">95</confidence>' rw.xml ||
  { echo "rw.xml: lengths or supports missing"; fail=1; }

# Names that XML must escape.
"$program" --newick -s "$cli/events-odd-raw-names/odd.raw" -g "('a(1',b,('c''d','a(1'))" \
  -g "(b,b,'c''d')" --reconciled odd.xml --reconciled-format recphyloxml || exit 1
check odd.xml 2

# The files that the command-line cases pin, byte for byte.
cp "$cli/reconciled-recphyloxml/expect/rec.xml" case1.xml
cp "$cli/reconciled-newick-lengths-xml/expect/rec.xml" case2.xml
check case1.xml 2
check case2.xml 2

# Random collections with lengths, and supports written on every inner node; two species
# trees each, so the files are numbered.
for seed in 1 2 3 4 5 6; do
  n=$((4 + seed * 5))
  "$kvgen" -n "$n" -f 25 -d 0.3 -l 0.4 -M 40 -b -L prefix -x "$seed" -s sp$seed.txt -g g$seed.txt ||
    exit 1
  sed -E 's/\)(:[^,)]*),/)87\1,/g; s/\)(:[^,)]*)\)/)80\/95\1)/g' g$seed.txt >g$seed.nwk
  "$kvgen" -n "$n" -f 1 -x $((seed + 100)) -s other$seed.txt -g /dev/null || exit 1
  cat sp$seed.txt other$seed.txt >species$seed.txt
  "$program" --newick -l b_ -S species$seed.txt -G g$seed.nwk --reconciled r$seed.xml \
    --reconciled-format recphyloxml || exit 1
  check r$seed.1.xml 25
  check r$seed.2.xml 25
done
grep -q '<loss ' r1.1.xml && grep -q '<duplication ' r1.1.xml ||
  { echo "r1.1.xml: no loss or duplication to check"; fail=1; }

[ $fail = 0 ] && echo "$files files valid"
exit $fail
