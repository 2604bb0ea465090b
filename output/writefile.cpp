#include "output/writefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "trees/fatal.h"

void writefile(const std::string& name, const std::string& content) {
  FILE* f = fopen(name.c_str(), "w");
  if (!f) fatal("Cannot write " + name + ": " + strerror(errno));
  size_t written = fwrite(content.data(), 1, content.size(), f);
  int err = errno;
  if (written != content.size()) {
    fclose(f);
    fatal("Cannot write " + name + ": " + strerror(err));
  }
  // A full disk often shows only when the buffer is flushed at close.
  if (fclose(f) != 0) fatal("Cannot write " + name + ": " + strerror(errno));
}
