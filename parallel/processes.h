#pragma once
#include <vector>

#include "reconcile/dlcost.h"

// The processes of an MPI run (mpirun -np P), or the one process of a build without MPI.
// Every process reads all input and draws the same random numbers; during a search each keeps
// the rows of its own share of the gene trees, and each move's cost change is summed over
// all of them. Only the main process prints and writes files.

// MPI start-up; the matching shutdown runs at exit. Without MPI: nothing.
void startprocesses(int& argc, char**& argv);
int processrank();
int processcount();
bool mainprocess();

// After the options: the thread count of --threads, and under MPI the same random draws on
// every process: seed, unless none was given and several processes run, then the main
// process's clock. Returns the seed in use.
unsigned startparallelwork(int threads, bool seedgiven, unsigned seed);

// Whether the gene trees are shared out over the processes. Only the search does this: the
// other modes print every gene tree's rows or costs, so every process keeps all of them.
void splitoverprocesses(bool on);
bool splitacrossprocesses();

// Sum over the processes of each one's cost pair; every process gets it. Collective.
DlTotal sumoverprocesses(DlTotal c);
// Sum over the processes of each entry; every process gets the sums. Collective.
void sumoverprocesses(std::vector<long>& v);
// Every process's values, concatenated in process order, on every process. Collective.
std::vector<int> gatherfromall(const std::vector<int>& mine);
// The main process's value, on every process. Collective.
bool mainprocessdecides(bool v);
unsigned long mainprocessvalue(unsigned long v);
