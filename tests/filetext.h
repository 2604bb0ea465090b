#pragma once
#include <fstream>
#include <sstream>
#include <string>

// The whole content of a file ("" when it cannot be read).
inline std::string slurp(const std::string& name) {
  std::ifstream f(name);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
