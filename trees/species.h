#pragma once
#include <map>
#include <string>
#include <vector>

// Species ids are stored as 16-bit signed values in trees.
constexpr int MAXSPECIES = 32767;

extern std::vector<std::string> specnames;
extern std::map<std::string, int> specnames2id;

// Leaf-label extraction rule for gene trees (-l): 0 none, 1 position, 2 middle field, 3 prefix.
extern int gsid;
extern char* gsdelim;
extern int gspos;

int getspecies(char* text, int len);
int registerspecies(const std::string& name);

// Species id of a gene-tree leaf label of length len, under the current -l rule.
int gsextract(char* label, int len);

// Whether a name reads back from tree text as one leaf label: the tokenizer's label
// characters, and a letter, without which the leaf count misses it.
bool islabelname(const std::string& s);
