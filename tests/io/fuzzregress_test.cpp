#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzzentry.h"

namespace {

namespace fs = std::filesystem;

// Every seed and every saved failing input of the parser fuzz targets, replayed through the
// targets' own entry points with the real exit in place of the fuzzers' hook.
TEST(FuzzInputs, EndInATreeOrAFatalMessage) {
  int replayed = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    for (const char* target : {"species", "gene", "list", "raw", "newick", "map"}) {
      fs::path dir = fs::path(KELVORA_FUZZDIR) / kind / target;
      if (!fs::is_directory(dir)) continue;
      std::vector<fs::path> inputs;
      for (auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      std::sort(inputs.begin(), inputs.end());
      for (auto& input : inputs) {
        std::ifstream f(input, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        auto data = reinterpret_cast<const uint8_t*>(bytes.data());
        // A tree (exit 0) or a fatal error's status as the fuzz targets allow it; never a
        // signal or a sanitizer's status.
        auto endedwell = [&](int status) {
          if (!WIFEXITED(status)) return false;
          int code = WEXITSTATUS(status);
          return code == 0 ||
                 fuzzexitstatus(target, data, bytes.size(), static_cast<signed char>(code));
        };
        EXPECT_EXIT(
            {
              // Size messages and echoes go to standard output; keep the test log readable.
              if (!freopen("/dev/null", "w", stdout)) abort();
              fuzzrun(target, data, bytes.size(), "fuzzreplay.raw");
              exit(0);
            },
            endedwell, "")
            << input;
        replayed++;
      }
    }
  }
  remove("fuzzreplay.raw");
  remove("fuzzreplay.raw.again.raw");
  remove("fuzzreplay.raw.map");
  EXPECT_GT(replayed, 0);
}

}  // namespace
