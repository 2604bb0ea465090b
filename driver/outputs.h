#pragma once
#include <string>
#include <vector>

#include "search/nnisupport.h"

class RootedTree;

// Files of the long options, written after a search (-Y) or an exploration (-N).

// PREFIX + suffix under --out PREFIX, "" without it: the default name of an output.
std::string outputname(const std::string& suffix);

// Before the run: fatal if a file it must write later is another run's (without --force) or
// has no folder, so a long search cannot end in a write failure there.
void checkoutputs();

// --best FILE (or PREFIX.best.nwk under --out): the optimal trees found, one a line, in
// Newick. Nothing without either option. With supports (one per optimal tree, from
// --support), each tree is written from species with its supports as labels.
void writebest(const std::vector<RootedTree*>& species = {},
               const std::vector<SupportTable>& supports = {});

// SIGINT and SIGTERM set stopsignal, so the search ends at its next move and saves; a second
// one ends the run at once. A signal ignored at the start (background jobs) stays ignored.
void catchstopsignals();

// After a search ended by a signal and its files written: "Search interrupted" on standard
// error and the exit status a shell gives that signal (130, 143). Returns when no signal came.
void endifinterrupted();
