#include "trees/savefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include "parallel/processes.h"
#include "trees/fatal.h"

std::string outprefix;
bool replacefiles = false;

// Names are kept with the directory, which a process may change between writes.
static std::set<std::string> written;

static std::string fullname(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  char cwd[4096];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + name : name;
}

[[noreturn]] static void cannotwrite(const std::string& name, int err) {
  fatal("Cannot write " + name + ": " + strerror(err));
}

bool writefile(const std::string& name, const std::string& content, bool exclusive) {
  if (!mainprocess()) return true;  // one process of a run writes the files
  FILE* f = fopen(name.c_str(), exclusive ? "wx" : "w");
  if (!f) {
    if (exclusive && errno == EEXIST) return false;
    cannotwrite(name, errno);
  }
  size_t n = fwrite(content.data(), 1, content.size(), f);
  int err = n == content.size() ? 0 : errno;
  // The buffered tail reaches the disk only at the close.
  if (fclose(f) != 0 && !err) err = errno;
  if (err) cannotwrite(name, err);
  written.insert(fullname(name));
  return true;
}

bool writtenbyrun(const std::string& name) { return written.count(fullname(name)) > 0; }

void writenamed(const std::string& name, const std::string& content) {
  if (!mainprocess()) return;
  if (replacefiles || writtenbyrun(name)) {
    writefile(name, content);
  } else if (!writefile(name, content, true)) {
    fatal("File " + name + " exists; --force replaces it");
  }
}

void writeoutput(const std::string& name, const std::string& content) {
  if (outprefix.empty())
    writefile(name, content);
  else
    writenamed(name, content);
}

void checknamed(const std::string& name) {
  struct stat st;
  if (!replacefiles && !writtenbyrun(name) && lstat(name.c_str(), &st) == 0)
    fatal("File " + name + " exists; --force replaces it");
  size_t slash = name.rfind('/');
  if (slash == std::string::npos) return;
  std::string dir = slash == 0 ? "/" : name.substr(0, slash);
  if (stat(dir.c_str(), &st) != 0) cannotwrite(name, errno);
  if (!S_ISDIR(st.st_mode)) cannotwrite(name, ENOTDIR);
}
