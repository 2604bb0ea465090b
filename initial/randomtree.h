#pragma once
#include <string>

class RootedTree;

std::string genrandomtree(short* ids, int count);
RootedTree* randspeciestree();
