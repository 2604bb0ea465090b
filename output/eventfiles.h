#pragma once
#include "io/newick.h"  // newicklabel
#include <string>

#include "output/reconciliation.h"
#include "search/nnisupport.h"

// The files of --events for one species tree, as text.

// One row per node in id order: node id, its clade as tree text, the four counts; a header.
// With sup: from --support three more columns, the support and the alternatives' cost
// changes; from --bootstrap a column of bootstrap shares.
std::string eventstsv(const RootedTree& S, const SpeciesEvents& ev,
                      const SupportTable* sup = nullptr);

// The species tree in Newick, internal nodes named as speciesnodenames does, every node with
// [&&NHX:DUP=..:L=..:C=..:G=..] (duplications, losses, lineages, gene trees): counts in keys
// of their own, as D=Y/N conventionally marks a gene node as a duplication or not.
// With sup: :SUPPORT=..:NNI1=..:NNI2=.. (--support) and :BOOTSTRAP=.. on each internal
// branch below the root.
std::string eventsnhx(const RootedTree& S, const SpeciesEvents& ev,
                      const SupportTable* sup = nullptr);

// The species tree drawn as a cladogram: leaves labelled, each branch labelled with the
// duplications at its lower node and the losses on it, its width growing with their sum and
// its colour going from blue (losses only) to red (duplications only).
// With sup: the bootstrap share, or else the support, under each internal branch.
std::string eventssvg(const RootedTree& S, const SpeciesEvents& ev,
                      const SupportTable* sup = nullptr);


// Text with &, <, >, " and ' replaced by their XML entities.
std::string xmlescape(const std::string& s);
