#include "trees/species.h"

#include <cstring>
#include <string>

#include "trees/fatal.h"

std::vector<std::string> specnames;
std::map<std::string, int> specnames2id;

int gsid = 0;
char* gsdelim = nullptr;
int gspos = 0;

int getspecies(char* text, int len) {
  return registerspecies(len ? std::string(text, len) : std::string(text));
}

thread_local LocalSpecies* localspecies = nullptr;

int registerspecies(const std::string& name) {
  if (localspecies) {
    auto it = localspecies->ids.find(name);
    if (it != localspecies->ids.end()) return it->second;
    int id = static_cast<int>(localspecies->names.size());
    // The global table has at least as many names by then: left to the main thread.
    if (id >= MAXSPECIES) throw QuietFailure();
    localspecies->ids.emplace(name, id);
    localspecies->names.push_back(name);
    return id;
  }
  auto it = specnames2id.find(name);
  if (it != specnames2id.end()) return it->second;
  int id = static_cast<int>(specnames.size());
  if (id >= MAXSPECIES)
    fatal("Too many species: at most " + std::to_string(MAXSPECIES) + " names can be registered");
  specnames2id[name] = id;
  specnames.push_back(name);
  return id;
}

// First occurrence of delim in label[from, len), or -1; never looks beyond the label.
static int findin(const char* label, int len, int from, const char* delim) {
  int d = static_cast<int>(strlen(delim));
  for (int i = from; i + d <= len; i++)
    if (memcmp(label + i, delim, d) == 0) return i;
  return -1;
}

// Last occurrence of delim in label[0, len), or -1.
static int findlast(const char* label, int len, const char* delim) {
  int d = static_cast<int>(strlen(delim));
  for (int i = len - d; i >= 0; i--)
    if (memcmp(label + i, delim, d) == 0) return i;
  return -1;
}

static int named(const char* label, int len) { return registerspecies(std::string(label, len)); }

int gsfind(const char* label, int len) {
  switch (gsid) {
    case 1: {
      long n = gspos;
      if (n >= len || n + len <= 0 || n == 0) return named(label, len);
      if (n > 0) return named(label, static_cast<int>(n));
      return named(label + len + n, static_cast<int>(-n));
    }
    case 2: {
      int d = static_cast<int>(strlen(gsdelim));
      int first = findin(label, len, 0, gsdelim);
      if (first < 0) return -1;
      int start = first + d;
      int second = findin(label, len, start, gsdelim);
      int end = second < 0 ? len : second;
      // A delimiter at the very end of the label names the empty species.
      if (start == len) return registerspecies("");
      if (end == start) return -1;
      return named(label + start, end - start);
    }
    case 3: {
      int first = findin(label, len, 0, gsdelim);
      if (first <= 0) return -1;
      return named(label, first);
    }
    case 4: {
      int last = findlast(label, len, gsdelim);
      if (last <= 0) return -1;
      return named(label, last);
    }
    default:
      return named(label, len);
  }
}

bool quotenames = false;

std::string newickquoted(const std::string& name) {
  bool plain = !name.empty();
  for (unsigned char c : name)
    if (c <= ' ' || c == 127 || strchr("()[]':;,", c)) plain = false;
  if (plain) return name;
  std::string q = "'";
  for (char c : name) q += c == '\'' ? "''" : std::string(1, c);
  return q + "'";
}
