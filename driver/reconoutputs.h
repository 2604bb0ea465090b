#pragma once
#include <string>
#include <vector>

#include "driver/options.h"
#include "search/nnisupport.h"

// --events PREFIX and --reconciled FILE for each of the species trees: with one tree the files
// are named as given, with several they are numbered from 1. Nothing without the options.
// Supports (--support), one table per species tree, add to the --events files.
void reconoutputs(const std::vector<RootedTree*>& species, std::vector<UnrootedTree*>& gtree,
                  const std::vector<SupportTable>& supports = {});

// Whether the run mode is the search (-Y, unless -Z, -J or -w comes before it).
bool searchruns(const Options& opt);

// The best tree found by -Y, for reconoutputs (empty when neither option is given).
std::vector<RootedTree*> searchbest();

// FILE with the number n before its extension: rec.xml -> rec.2.xml, rec -> rec.2.
std::string numberedname(const std::string& file, size_t n);
