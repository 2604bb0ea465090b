#include "io/savefile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>

#include "tests/filetext.h"

namespace {

// A writer killed at any moment, while it replaces a file again and again with one of two
// contents, leaves the old content or the new one, whole: never a mix, never a cut file.
TEST(SaveFile, AKilledWriterLeavesAWholeFile) {
  char templ[] = "/tmp/kvsaveXXXXXX";
  ASSERT_NE(mkdtemp(templ), nullptr);
  const std::string dir = templ, name = dir + "/out.txt";
  const std::string a(1 << 20, 'a'), b(3 << 19, 'b');
  writefile(name, a);
  std::mt19937 rng(5);
  for (int round = 0; round < 40; round++) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int k = 0;; k++) writefile(name, k % 2 ? a : b);
    }
    usleep(rng() % 20000);
    kill(child, SIGKILL);
    int status;
    waitpid(child, &status, 0);
    const std::string got = slurp(name);
    EXPECT_TRUE(got == a || got == b) << "round " << round << ": " << got.size() << " bytes";
  }
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
