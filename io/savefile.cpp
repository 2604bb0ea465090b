#include "io/savefile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include <fcntl.h>
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

// Writes the whole content to the open file and closes it; 0 or the error.
static int writeall(int fd, const std::string& content, bool sync) {
  int err = 0;
  for (size_t done = 0; done < content.size() && !err;) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) err = n < 0 ? errno : EIO;
    else done += static_cast<size_t>(n);
  }
  if (!err && sync && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && !err) err = errno;
  return err;
}

// Devices, pipes and links are written where they are: a rename would replace the device
// node or the link itself.
static bool inplace(const std::string& name) {
  struct stat st;
  return lstat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool writefile(const std::string& name, const std::string& content, bool exclusive) {
  if (!mainprocess()) return true;  // one process of a run writes the files
  if (inplace(name)) {
    int fd = open(name.c_str(), O_WRONLY | O_TRUNC | (exclusive ? O_CREAT | O_EXCL : 0), 0666);
    if (fd < 0) {
      if (exclusive && errno == EEXIST) return false;
      cannotwrite(name, errno);
    }
    if (int err = writeall(fd, content, false)) cannotwrite(name, err);
    written.insert(fullname(name));
    return true;
  }
  // The new content goes whole to a file beside the name, reaches the disk, and only then
  // takes the name: a run killed at any moment leaves the old file or the new one, whole.
  size_t slash = name.rfind('/');
  std::string dir = slash == std::string::npos ? "" : name.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  std::string tmp = dir + "." + base + ".kvtmp.XXXXXX";
  int fd = mkstemp(&tmp[0]);
  if (fd < 0) cannotwrite(name, errno);
  // As open() would make it: mkstemp's mode is 0600.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  if (int err = writeall(fd, content, true)) {
    unlink(tmp.c_str());
    cannotwrite(name, err);
  }
  // Another run's file of this name is left alone: link fails where the name exists.
  bool placed = exclusive ? link(tmp.c_str(), name.c_str()) == 0 : rename(tmp.c_str(), name.c_str()) == 0;
  // A file system without hard links: the name is checked first, then taken by the rename.
  struct stat st;
  if (!placed && exclusive && errno != EEXIST && lstat(name.c_str(), &st) != 0 && errno == ENOENT)
    placed = rename(tmp.c_str(), name.c_str()) == 0;
  else if (!placed && exclusive && errno != EEXIST && lstat(name.c_str(), &st) == 0)
    errno = EEXIST;
  if (!placed) {
    int err = errno;
    unlink(tmp.c_str());
    if (exclusive && err == EEXIST) return false;
    cannotwrite(name, err);
  }
  if (exclusive) unlink(tmp.c_str());
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
