#pragma once
#include <string>

// The gene-to-species map of --map: when loaded, it alone gives the species of every gene
// leaf, whichever reader reads the gene tree.

// Reads a map file: "gene species" (blank or tab between) per line, or "species: gene1,
// gene2, ..." (genes apart by blanks, commas or semicolons). Blank lines are skipped; # at a
// line start or after a blank starts a comment. Several files merge; a gene mapped to two
// species is an error that names both places. Errors name the file, the line and the place.
void loadgenemap(const std::string& fname);
// The map of one family of a families file: while it is current, it alone maps genes.
void beginfamilymap(const std::string& fname);
void endfamilymap();
bool genemapactive();
const std::string& genemapfile();

// Species id of a gene-tree leaf label of length len: from the --map file when one was given,
// else under the current -l rule. A label that yields none is a fatal error.
int gsextract(char* label, int len);

// Species id of a gene label (registered on first use), or -1 when the map lacks the label.
int genemapspecies(const char* label, int len);

// The plain reader's report of a label the map lacks: it names the list file and line being
// read (genelistfile, set by the gene list reader) or the -g tree.
[[noreturn]] void genemapmissing(const char* label, int len);
extern const char* genelistfile;

// Forgets the map (tests and fuzz targets).
void cleargenemap();
