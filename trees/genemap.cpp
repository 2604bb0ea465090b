#include "trees/genemap.h"

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "trees/fatal.h"
#include "trees/inputtext.h"
#include "trees/species.h"
#include "trees/tokenizer.h"

const char* genelistfile = nullptr;

namespace {

struct GeneMap {
  bool active = false;
  std::string file;
  std::vector<std::string> species;               // names, each once
  std::unordered_map<std::string, int> speciesof;  // gene label -> index into species
  std::unordered_map<std::string, int> index;      // species name -> index
  std::unordered_map<std::string, size_t> placeof; // gene label -> offset of its first mention
};

GeneMap genemap;

const char* const maphelp =
    "Write one \"gene species\" pair per line, or \"species: gene1, gene2, ...\".";

// Splits [p, end) at blanks (and at commas when commas) into fields with their offsets.
void fields(const InputText& in, size_t p, size_t end, bool commas,
            std::vector<std::pair<size_t, std::string>>& out) {
  out.clear();
  while (p < end) {
    while (p < end && (isinputblank(in.text[p]) || (commas && in.text[p] == ','))) p++;
    size_t q = p;
    while (q < end && !isinputblank(in.text[q]) && !(commas && in.text[q] == ',')) q++;
    if (q > p) out.emplace_back(p, std::string(in.text + p, q - p));
    p = q;
  }
}

void addgene(const InputText& in, size_t pos, const std::string& gene, const std::string& sp) {
  auto it = genemap.index.find(sp);
  int s;
  if (it == genemap.index.end()) {
    s = static_cast<int>(genemap.species.size());
    genemap.index.emplace(sp, s);
    genemap.species.push_back(sp);
  } else {
    s = it->second;
  }
  auto known = genemap.speciesof.find(gene);
  if (known == genemap.speciesof.end()) {
    genemap.speciesof.emplace(gene, s);
    genemap.placeof.emplace(gene, pos);
  } else if (known->second != s) {
    inputerror(in, pos,
               "gene " + gene + " is mapped to " + sp + " here and to " +
                   genemap.species[known->second] + " on line " +
                   std::to_string(inputline(in, genemap.placeof[gene])),
               "Give each gene one species.");
  }
}

}  // namespace

void cleargenemap() { genemap = GeneMap(); }

void loadgenemap(const std::string& fname) {
  cleargenemap();
  InputFile buf;
  InputText in;
  in.option = "--map";
  readinputfile(fname, buf, in);
  genemap.file = fname;
  std::vector<std::pair<size_t, std::string>> f;
  size_t p = bomlength(in.text);
  while (p < in.size) {
    size_t lineend = p;
    while (lineend < in.size && in.text[lineend] != '\n') lineend++;
    size_t first = p, end = lineend;
    while (first < end && isinputblank(in.text[first])) first++;
    // A comment runs from a # after a blank to the line end.
    for (size_t q = first + 1; q < end; q++)
      if (in.text[q] == '#' && isinputblank(in.text[q - 1])) {
        end = q;
        break;
      }
    if (first < end && in.text[first] != '#') {
      const char* colon = static_cast<const char*>(memchr(in.text + first, ':', end - first));
      if (colon) {
        size_t c = colon - in.text;
        fields(in, first, c, false, f);
        if (f.size() != 1)
          inputerror(in, first, "one species name is expected before ':'", maphelp);
        std::string sp = f[0].second;
        fields(in, c + 1, end, true, f);
        if (f.empty()) inputerror(in, c, "no genes after ':'", maphelp);
        for (auto& g : f) addgene(in, g.first, g.second, sp);
      } else {
        fields(in, first, end, false, f);
        if (f.size() == 1) inputerror(in, f[0].first, "a gene without its species", maphelp);
        if (f.size() > 2)
          inputerror(in, f[2].first, "more than two names on the line", maphelp);
        addgene(in, f[0].first, f[0].second, f[1].second);
      }
    }
    p = lineend + 1;
  }
  genemap.active = true;
}

bool genemapactive() { return genemap.active; }

const std::string& genemapfile() { return genemap.file; }

int genemapspecies(const char* label, int len) {
  // Lookup scratch per thread: no allocation per leaf.
  static thread_local std::string key;
  key.assign(label, len);
  auto it = genemap.speciesof.find(key);
  if (it == genemap.speciesof.end()) return -1;
  return registerspecies(genemap.species[it->second]);
}

void genemapmissing(const char* label, int len) {
  failquietly();
  std::string l(label, len);
  // The plain reader's character counter is not a column; the line is.
  std::string where =
      genelistfile ? std::string(genelistfile) + ":" + std::to_string(linenum) : "tree of -g";
  fatal(where + ": gene " + l + " is not in the map file " + genemap.file + "\nAdd a line \"" +
        l + " SPECIES\" to " + genemap.file + ".");
}
