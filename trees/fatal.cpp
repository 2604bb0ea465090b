#include "trees/fatal.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

void (*kelvoraexithook)(int status) = nullptr;
thread_local bool quietparse = false;
bool outputswallowed = false;

std::ostream& exitstream() { return outputswallowed ? std::cerr : std::cout; }

void kelvoraexit(int status) {
  failquietly();
  if (kelvoraexithook) kelvoraexithook(status);
  std::cout.flush();
  std::cerr.flush();
  exit(status);
}

void fatal(const std::string& msg) {
  failquietly();
  std::cerr << msg << std::endl;
  kelvoraexit(-1);
}
