#pragma once
// A fresh working directory for a test that writes files (saved stores, dumps); the previous
// one is restored and the scratch removed at the end.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class ScratchDir {
 public:
  ScratchDir() : old(std::filesystem::current_path()) {
    char name[] = "/tmp/kelvorasearchXXXXXX";
    dir = mkdtemp(name);
    std::filesystem::current_path(dir);
  }
  ~ScratchDir() {
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Names of the files here that end with suffix, sorted.
  std::vector<std::string> files(const std::string& suffix) const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
      std::string n = e.path().filename().string();
      if (n.size() >= suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
        names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::vector<std::string> lines(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> v;
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  }

 private:
  std::filesystem::path old;
  std::string dir;
};
