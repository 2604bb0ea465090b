#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Entry points of the parser fuzz targets, shared with the replay of their saved inputs in
// the unit tests. Each resets the global parsing state, builds trees from the input, checks
// their structure and frees them. Bad input ends in a fatal error (kelvoraexit); a broken
// tree, or a fatal error while a built tree is checked, ends in abort() after a message.

// Species-tree text (RootedTree).
void fuzzspecies(const uint8_t* data, size_t size);
// Byte 0 picks the -l rule (none, p, a, b), byte 1 its number or delimiter; the rest is a
// gene-tree text (UnrootedTree).
void fuzzgene(const uint8_t* data, size_t size);
// Byte 0 picks species (even) or gene (odd) trees and, for genes, the -l rule with byte 1;
// the rest is written to the file tmpname and read as a tree list file.
void fuzzlist(const uint8_t* data, size_t size, const char* tmpname);
// The input is written to the file tmpname, whose name must contain ".raw", and read as a
// raw species-tree file.
void fuzzraw(const uint8_t* data, size_t size, const char* tmpname);

// Newick reader (--newick). Byte 0 modulo 4 picks a species or gene list file (0, 1), or a
// species or gene tree of -s or -g (2, 3); byte 0 / 4 picks the -l rule (none, p, a, b, l)
// with byte 1. The rest is the text, written for a list to the file tmpname.
void fuzznewick(const uint8_t* data, size_t size, const char* tmpname);
// Map file (--map): the text up to the first NUL byte is the map, written to tmpname.map;
// the rest is a gene-tree list file read under the map by the Newick reader (byte 0 of the
// input even) or by the plain reader (odd).
void fuzzmap(const uint8_t* data, size_t size, const char* tmpname);

// Dispatch by target name (species, gene, list, raw, newick, map); false for an unknown name.
bool fuzzrun(const std::string& target, const uint8_t* data, size_t size, const char* tmpname);

// Whether bad input to the target may end in this exit status: -1, or -10 (a bad branch
// length) where gene trees are read.
bool fuzzexitstatus(const std::string& target, const uint8_t* data, size_t size, int status);
