// libFuzzer target for one entry point of fuzzentry.h, named by FUZZTARGET when compiled.
// A fatal error throws out of kelvoraexit through its test hook instead of ending the process;
// the tree constructors free what they built as the error unwinds, so leaks are reported.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/fuzz/fuzzentry.h"
#include "trees/fatal.h"

namespace {

struct FuzzExit {
  int status;
};

void throwexit(int status) { throw FuzzExit{status}; }

// What the program wrote to standard output and error for the current input.
std::ostringstream captured;
std::string tmpdir, tmpname;

void removetmp() {
  remove(tmpname.c_str());
  remove((tmpname + ".again.raw").c_str());
  remove((tmpname + ".map").c_str());
  rmdir(tmpdir.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The messages of bad input would bury the fuzzer's own report.
  std::cout.rdbuf(captured.rdbuf());
  std::cerr.rdbuf(captured.rdbuf());
  kelvoraexithook = throwexit;
  // The list and raw targets write every input to a file: in memory where there is room.
  std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm/kvfuzzXXXXXX" : "/tmp/kvfuzzXXXXXX";
  if (!mkdtemp(&dir[0])) {
    perror("mkdtemp");
    abort();
  }
  tmpdir = dir;
  tmpname = tmpdir + "/input.raw";
  atexit(removetmp);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  captured.str("");
  captured.clear();
  try {
    if (!fuzzrun(FUZZTARGET, data, size, tmpname.c_str())) abort();
  } catch (const FuzzExit& e) {
    std::string said = captured.str();
    if (!fuzzexitstatus(FUZZTARGET, data, size, e.status) || said.empty()) {
      fprintf(stderr, "fuzz check failed: exit status %d after the output <<%s>>\n", e.status,
              said.c_str());
      abort();
    }
  }
  return 0;
}
