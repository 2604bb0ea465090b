#include "io/inputtext.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "trees/fatal.h"

InputFile::~InputFile() {
  if (mapped) munmap(mapped, mappedsize);
}

void readinputfile(const std::string& fname, InputFile& file, InputText& in) {
  if (!loadinputfile(fname, file, in))
    fatal("Cannot open file " + fname + ": " + strerror(errno) + "\nCheck the name given to " +
          in.option + ".");
  // A NUL byte would end the text early without a word.
  const void* nul = memchr(in.text, 0, in.size);
  if (nul)
    inputerror(in, static_cast<const char*>(nul) - in.text, "NUL byte in the file",
               "Remove it: the file must be plain text.");
}

bool loadinputfile(const std::string& fname, InputFile& file, InputText& in) {
  FILE* f = fopen(fname.c_str(), "rb");
  if (!f) return false;
  struct stat st;
  bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
  size_t size = regular ? static_cast<size_t>(st.st_size) : 0;
  long page = sysconf(_SC_PAGESIZE);
  // A large file whose last page has room after its end is mapped: its text ends in zero
  // bytes, the NUL, and nothing is copied. Other files are read, sized by the file where it
  // has a size; a pipe grows the buffer. Small files are read too: a family's file of a few
  // kilobytes costs less to copy than to map and unmap.
  if (regular && size >= (1 << 18) && page > 0 && size % static_cast<size_t>(page) != 0) {
#ifdef MAP_POPULATE
    const int flags = MAP_PRIVATE | MAP_POPULATE;  // fault every page in at once
#else
    const int flags = MAP_PRIVATE;
#endif
    void* m = mmap(nullptr, size, PROT_READ, flags, fileno(f), 0);
    if (m != MAP_FAILED) {
      file.mapped = m;
      file.mappedsize = size;
      in.text = static_cast<const char*>(m);
    }
  }
  if (!file.mapped) {
    size_t cap = regular ? size + 1 : 1 << 16;
    size = 0;
    file.heap.reset(new char[cap]);
    for (;;) {
      if (size == cap) {
        std::unique_ptr<char[]> more(new char[2 * cap]);
        memcpy(more.get(), file.heap.get(), size);
        file.heap.swap(more);
        cap *= 2;
      }
      size_t n = fread(file.heap.get() + size, 1, cap - size, f);
      if (n == 0) break;
      size += n;
    }
    if (size == cap) {
      std::unique_ptr<char[]> more(new char[cap + 1]);
      memcpy(more.get(), file.heap.get(), size);
      file.heap.swap(more);
    }
    file.heap[size] = 0;
    in.text = file.heap.get();
  }
  fclose(f);
  in.file = fname;
  in.size = size;
  return true;
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
  failquietly();
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
