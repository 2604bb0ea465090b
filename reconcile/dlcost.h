#pragma once
#include <ostream>

// DlCost and DlTotal live in trees/, whose trees hold them; printing them needs
// costformat, so it stays here.
#include "trees/dltotal.h"

std::ostream& operator<<(std::ostream& out, DlCost c);
// The pair as -C prints it: whole counts, or weighted counts as costs print.
std::ostream& operator<<(std::ostream& out, DlTotal c);
