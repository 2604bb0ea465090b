#include "trees/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

void (*kelvoraexithook)(int status) = nullptr;

void kelvoraexit(int status) {
  if (kelvoraexithook) kelvoraexithook(status);
  std::cout.flush();
  std::cerr.flush();
  exit(status);
}

void fatal(const std::string& msg) {
  std::cerr << msg << std::endl;
  kelvoraexit(-1);
}
