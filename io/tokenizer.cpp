#include "io/tokenizer.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "io/newick.h"
#include "trees/fatal.h"

thread_local int linenum = 0, charnum = 0;
thread_local const char* inputfilename = nullptr;

void initlinenuminfo(const char* fname) {
  linenum = 1;
  charnum = 0;
  inputfilename = fname;
}

void passlines(const char* text, size_t from, size_t to) {
  size_t p = from;
  while (p < to) {
    const void* nl = memchr(text + p, '\n', to - p);
    size_t end = nl ? static_cast<const char*>(nl) - text + 1 : to;
    size_t len = end - p;
    // Arriving at the line end resets the column to 1; the step past it makes 2.
    if (len >= 2 && text[end - 1] == '\n') {
      linenum++;
      charnum = 2;
    } else {
      charnum += static_cast<int>(len);
    }
    p = end;
  }
}

void printlinepos() {
  if (inputfilename) std::cerr << inputfilename << ":";
  std::cerr << linenum << ":" << charnum << ": ";
}

// A parse error at a terminal, on text that standard Newick reads, says how to read it; a
// redirected standard error gets the message alone.
static void newickhint(const char* text) {
  if (isatty(2) && readsasnewick(text))
    std::cerr << "This text reads as standard Newick: give --newick to read it so." << std::endl;
}

// The line counter changes on arriving at a line end, not on leaving it.
static inline void step(char* s, int& p) {
  p++;
  if (s[p] == '\n') {
    linenum++;
    charnum = 0;
  }
  charnum++;
}

char* getTok(char* s, int& p, int treenr) {
  while (isblankchar(s[p])) step(s, p);
  char* tok = s + p;
  char c = s[p];
  if (isalnumchar(c) || c == '_') {
    while (isalnumchar(s[p]) || s[p] == '_' || s[p] == '.' || s[p] == '-') step(s, p);
    return tok;
  }
  if (c == '(' || c == ')' || c == ',' || c == ':') {
    step(s, p);
    return tok;
  }
  failquietly();
  if (treenr >= 0) std::cerr << "Tree nr " << treenr << ". ";
  printlinepos();
  std::cerr << " parse error - expected expected LABEL, '(', ')' or ','; found: '";
  if (c) std::cerr << c; else std::cerr.put('\0');
  std::cerr << "'. current string: <<" << tok << ">>" << std::endl;
  newickhint(s);
  kelvoraexit(-1);
}

void checkparsing(char* s) {
  int p = 0;
  while (s[p]) {
    if (s[p] == ';' || isblankchar(s[p])) {
      step(s, p);
      continue;
    }
    failquietly();
    printlinepos();
    std::cerr << "EOLN, EOF or ';' expected, found '" << (s + p) << "'" << std::endl;
    kelvoraexit(-1);
  }
}

void expectTok(const char* tok, char* s, int p) {
  failquietly();
  printlinepos();
  std::cerr << "parse error - expected #" << tok << "#" << std::endl;
  int i = 0;
  if (p >= 70) {
    i = p - 70;
    std::cerr << "...";
  }
  for (; s[i] && i < p + 70; i++) {
    if (i == p) std::cerr << std::endl;
    std::cerr << s[i];
  }
  if (s[i]) std::cerr << "...";
  std::cerr << std::endl;
  newickhint(s);
  kelvoraexit(-1);
}

char* mstrndup(const char* s, size_t n) {
  size_t len = strnlen(s, n);
  char* r = static_cast<char*>(malloc(len + 1));
  if (!r) return nullptr;
  memcpy(r, s, len);
  r[len] = 0;
  return r;
}

int lfnum(const char* text) {
  int count = 0;
  bool flag = false, inlength = false;
  for (const char* p = text; *p; p++) {
    char c = *p;
    if (c == ',' || c == ')') {
      inlength = false;
      if (flag) {
        flag = false;
        count++;
      }
    } else if (c == ':') {
      // Letters of a length such as 1e-05 are not a leaf label.
      inlength = true;
    }
    if (!inlength && isalphachar(c)) flag = true;
  }
  return count;
}

bool islabelname(const std::string& s) {
  if (s.empty() || !(isalnumchar(s[0]) || s[0] == '_')) return false;
  bool letter = false;
  for (char c : s) {
    if (!(isalnumchar(c) || c == '_' || c == '.' || c == '-')) return false;
    letter = letter || isalphachar(c);
  }
  return letter;
}
