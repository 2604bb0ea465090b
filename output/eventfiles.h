#pragma once
#include "trees/newick.h"  // newicklabel
#include <string>

#include "output/reconciliation.h"

// The files of --events for one species tree, as text.

// One row per node in id order: node id, its clade as tree text, the four counts; a header.
std::string eventstsv(const RootedTree& S, const SpeciesEvents& ev);

// The species tree in Newick, internal nodes named as speciesnodenames does, every node with
// [&&NHX:DUP=..:L=..:C=..:G=..] (duplications, losses, lineages, gene trees): counts in keys
// of their own, as D=Y/N conventionally marks a gene node as a duplication or not.
std::string eventsnhx(const RootedTree& S, const SpeciesEvents& ev);

// The species tree drawn as a cladogram: leaves labelled, each branch labelled with the
// duplications at its lower node and the losses on it, its width growing with their sum and
// its colour going from blue (losses only) to red (duplications only).
std::string eventssvg(const RootedTree& S, const SpeciesEvents& ev);


// Text with &, <, >, " and ' replaced by their XML entities.
std::string xmlescape(const std::string& s);
