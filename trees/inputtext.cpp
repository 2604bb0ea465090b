#include "trees/inputtext.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "trees/fatal.h"

void readinputfile(const std::string& fname, std::vector<char>& buf, InputText& in) {
  buf.clear();
  FILE* f = fopen(fname.c_str(), "rb");
  if (!f) fatal("Cannot open file " + fname);
  // Read in place, sized by the file where it has a size, so a large file is never copied
  // as the buffer grows; a pipe is read by chunks.
  struct stat st;
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    buf.reserve(static_cast<size_t>(st.st_size) + 1);
    buf.resize(static_cast<size_t>(st.st_size));
    buf.resize(fread(buf.data(), 1, buf.size(), f));
  }
  char chunk[1 << 16];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) buf.insert(buf.end(), chunk, chunk + n);
  fclose(f);
  in.file = fname;
  in.size = buf.size();
  buf.push_back(0);
  in.text = buf.data();
  // A NUL byte would end the text early without a word.
  const void* nul = memchr(in.text, 0, in.size);
  if (nul)
    inputerror(in, static_cast<const char*>(nul) - in.text, "NUL byte in the file",
               "Remove it: the file must be plain text.");
}

int inputline(const InputText& in, size_t pos) {
  int line = 1;
  for (size_t i = 0; i < pos && i < in.size; i++)
    if (in.text[i] == '\n') line++;
  return line;
}

size_t bomlength(const char* s) {
  // Byte by byte: s may end (NUL) before three bytes.
  return s[0] == '\xEF' && s[1] == '\xBB' && s[2] == '\xBF' ? 3 : 0;
}

void inputerror(const InputText& in, size_t pos, const std::string& what, const std::string& todo) {
  if (pos > in.size) pos = in.size;
  size_t start = pos, end = pos;
  while (start > 0 && in.text[start - 1] != '\n') start--;
  while (end < in.size && in.text[end] != '\n' && in.text[end] != '\r') end++;
  std::string where = in.file.empty() ? "tree of " + in.option + ", column " +
                                            std::to_string(pos - start + 1)
                                      : in.file + ":" + std::to_string(inputline(in, pos)) + ":" +
                                            std::to_string(pos - start + 1);
  const size_t side = 30;
  size_t from = pos - start > side ? pos - side : start;
  size_t to = end - pos > side ? pos + side : end;
  std::string excerpt = from > start ? "..." : "";
  size_t caret = excerpt.size() + (pos - from);
  for (size_t i = from; i < to; i++) {
    unsigned char c = static_cast<unsigned char>(in.text[i]);
    excerpt += c < 32 || c == 127 ? ' ' : static_cast<char>(c);
  }
  if (to < end) excerpt += "...";
  std::cerr << where << ": " << what << "\n  " << excerpt << "\n  " << std::string(caret, ' ')
            << "^\n" << todo << std::endl;
  kelvoraexit(-1);
}
