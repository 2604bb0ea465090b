#include "io/genemap.h"

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/inputtext.h"
#include "io/tokenizer.h"
#include "trees/fatal.h"
#include "trees/species.h"

const char* genelistfile = nullptr;

namespace {

// Where a gene was first mapped: the file (index into files) and the line.
struct MapPlace {
  int file;
  int line;
};

struct GeneMap {
  bool active = false;
  std::vector<std::string> files;                   // every file merged in, in order
  std::string file;                                 // their names as messages give them
  std::vector<std::string> species;                 // names, each once
  std::unordered_map<std::string, int> speciesof;   // gene label -> index into species
  std::unordered_map<std::string, int> index;       // species name -> index
  std::unordered_map<std::string, MapPlace> placeof;  // gene label -> its first mention
};

// The --map files, merged; and a families file's map of the family being read, which alone
// maps that family's genes while it is current.
GeneMap globalmap, familymap;
GeneMap* current = &globalmap;

const char* const maphelp =
    "Write one \"gene species\" pair per line, or \"species: gene1, gene2, ...\".";

// Splits [p, end) at blanks (and at commas and semicolons when lists) into fields with their
// offsets.
void fields(const InputText& in, size_t p, size_t end, bool lists,
            std::vector<std::pair<size_t, std::string>>& out) {
  auto sep = [&](char c) { return isinputblank(c) || (lists && (c == ',' || c == ';')); };
  out.clear();
  while (p < end) {
    while (p < end && sep(in.text[p])) p++;
    size_t q = p;
    while (q < end && !sep(in.text[q])) q++;
    if (q > p) out.emplace_back(p, std::string(in.text + p, q - p));
    p = q;
  }
}

void addgene(const InputText& in, size_t pos, const std::string& gene, const std::string& sp) {
  auto it = current->index.find(sp);
  int s;
  if (it == current->index.end()) {
    s = static_cast<int>(current->species.size());
    current->index.emplace(sp, s);
    current->species.push_back(sp);
  } else {
    s = it->second;
  }
  auto known = current->speciesof.find(gene);
  const int file = static_cast<int>(current->files.size()) - 1;
  if (known == current->speciesof.end()) {
    current->speciesof.emplace(gene, s);
    current->placeof.emplace(gene, MapPlace{file, inputline(in, pos)});
  } else if (known->second != s) {
    const MapPlace& was = current->placeof[gene];
    std::string where = was.file == file ? "" : " of " + current->files[was.file];
    inputerror(in, pos,
               "gene " + gene + " is mapped to " + sp + " here and to " +
                   current->species[known->second] + " on line " + std::to_string(was.line) + where,
               "Give each gene one species.");
  }
}

void readmapfile(const std::string& fname, const char* option = "--map");

}  // namespace

void cleargenemap() {
  globalmap = GeneMap();
  familymap = GeneMap();
  current = &globalmap;
}

void loadgenemap(const std::string& fname) { readmapfile(fname); }

void beginfamilymap(const std::string& fname) {
  familymap = GeneMap();
  current = &familymap;
  readmapfile(fname, "--families");
}

void endfamilymap() {
  familymap = GeneMap();
  current = &globalmap;
}

namespace {

void readmapfile(const std::string& fname, const char* option) {
  InputFile buf;
  InputText in;
  in.option = option;
  readinputfile(fname, buf, in);
  current->files.push_back(fname);
  current->file = current->files.size() == 1 ? fname : current->file + ", " + fname;
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
  current->active = true;
}

}  // namespace

bool genemapactive() { return current->active; }

const std::string& genemapfile() { return current->file; }

int genemapspecies(const char* label, int len) {
  // Lookup scratch per thread: no allocation per leaf.
  static thread_local std::string key;
  key.assign(label, len);
  auto it = current->speciesof.find(key);
  if (it == current->speciesof.end()) return -1;
  return registerspecies(current->species[it->second]);
}

void genemapmissing(const char* label, int len) {
  failquietly();
  std::string l(label, len);
  // The plain reader's character counter is not a column; the line is.
  std::string where =
      genelistfile ? std::string(genelistfile) + ":" + std::to_string(linenum) : "tree of -g";
  fatal(where + ": gene " + l + " is not in the map file " + current->file + "\nAdd a line \"" +
        l + " SPECIES\" to " + current->file + ".");
}

int gsextract(char* label, int len) {
  if (genemapactive()) {
    int s = genemapspecies(label, len);
    if (s < 0) genemapmissing(label, len);
    return s;
  }
  int s = gsfind(label, len);
  if (s < 0) fatal("No species name found in " + std::string(label, len));
  return s;
}
