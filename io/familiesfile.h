#pragma once
#include <string>
#include <vector>

// One family of a families file: its gene-tree file and, when given, its own mapping file.
struct FamilyFiles {
  std::string name;
  std::string genetrees;
  std::string mapping;
};

// Reads a families file: "[FAMILIES]", then per family a line "- name" and "key = value"
// lines; starting_gene_tree (or gene_tree) and mapping are read, other keys are ignored.
// Paths are taken as written, so relative ones are relative to the working directory.
std::vector<FamilyFiles> readfamiliesfile(const std::string& fname);
