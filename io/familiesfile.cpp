#include "io/familiesfile.h"

#include "io/inputtext.h"

namespace {

std::string trimmed(const char* p, const char* end) {
  while (p < end && (isinputblank(*p) || *p == '\r')) p++;
  while (end > p && (isinputblank(end[-1]) || end[-1] == '\r')) end--;
  return std::string(p, end);
}

}  // namespace

std::vector<FamilyFiles> readfamiliesfile(const std::string& fname) {
  InputFile buf;
  InputText in;
  in.option = "--families";
  readinputfile(fname, buf, in);
  std::vector<FamilyFiles> families;
  bool section = false;
  for (size_t p = bomlength(in.text); p < in.size;) {
    size_t end = p;
    while (end < in.size && in.text[end] != '\n') end++;
    std::string line = trimmed(in.text + p, in.text + end);
    const size_t at = p;
    p = end + 1;
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line == "[FAMILIES]";
      continue;
    }
    if (!section)
      inputerror(in, at, "a line before [FAMILIES]",
                 "Start the families file with a line [FAMILIES].");
    if (line[0] == '-') {
      families.push_back(FamilyFiles{trimmed(line.data() + 1, line.data() + line.size()), "", ""});
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos)
      inputerror(in, at, "\"key = value\" or \"- family\" expected",
                 "Write each family as \"- name\" followed by lines such as "
                 "\"starting_gene_tree = FILE\" and \"mapping = FILE\".");
    if (families.empty())
      inputerror(in, at, "a key before the first family", "Name the family first: \"- name\".");
    std::string key = trimmed(line.data(), line.data() + eq);
    std::string value = trimmed(line.data() + eq + 1, line.data() + line.size());
    if (key == "starting_gene_tree" || key == "gene_tree")
      families.back().genetrees = value;
    else if (key == "mapping")
      families.back().mapping = value;
  }
  for (const FamilyFiles& f : families)
    if (f.genetrees.empty())
      inputerror(in, 0, "family " + f.name + " has no gene_tree or starting_gene_tree",
                 "Give each family its gene-tree file: \"starting_gene_tree = FILE\".");
  return families;
}
