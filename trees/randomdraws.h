#pragma once

// The random numbers of a run: the C library's generator, seeded once, with every draw
// counted. Its state cannot be read, but the seed and the count rebuild it exactly, which is
// what a checkpoint needs to continue a seeded run as if it had never stopped.
void seedrandom(unsigned seed);
int drawrandom();  // rand(), counted
unsigned randomseed();
unsigned long long randomdraws();
// The generator as it was after draws draws from seed.
void restorerandom(unsigned seed, unsigned long long draws);
