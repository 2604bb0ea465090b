#pragma once

class RootedTree;
class UnrootedTree;

// Other costs of the rooting of G at directed node v, each by a direct walk: the references
// that the rooting report's tables (-X S, DC, RF, RFO) are checked against. The mappings of
// G into S must be set.
int dccost(UnrootedTree& G, RootedTree& S, short v);   // deep coalescence
int spcost(UnrootedTree& G, RootedTree& S, short v);   // speciations
int rfcost(UnrootedTree& G, RootedTree& S, short v);   // Robinson-Foulds distance to S
int rfocost(UnrootedTree& G, RootedTree& S, short v);  // internal clusters shared with S
// Edges on the longest path down from v.
short maxdist(UnrootedTree& G, short v);
