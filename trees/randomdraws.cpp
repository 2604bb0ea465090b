#include "trees/randomdraws.h"

#include <cstdlib>

namespace {
unsigned seedinuse = 0;
unsigned long long drawn = 0;
}  // namespace

void seedrandom(unsigned seed) {
  srand(seed);
  seedinuse = seed;
  drawn = 0;
}

int drawrandom() {
  drawn++;
  return rand();
}

unsigned randomseed() { return seedinuse; }
unsigned long long randomdraws() { return drawn; }

void restorerandom(unsigned seed, unsigned long long draws) {
  seedrandom(seed);
  // A few million draws a second: hours of search draw far fewer.
  while (drawn < draws) drawrandom();
}
