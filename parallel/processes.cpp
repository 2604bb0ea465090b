#include "parallel/processes.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>

#ifdef KELVORA_MPI
#include <mpi.h>
#endif

#include "parallel/pool.h"
#include "trees/randomdraws.h"

namespace {
int rank = 0, count = 1;
bool split = false;

#ifdef KELVORA_MPI
// Other processes print nothing: their standard output goes here. Never destroyed, since
// standard output is flushed at exit after the statics of this file are gone.
std::ofstream* silent = nullptr;

void stopmpi() {
  int finalized = 0;
  MPI_Finalized(&finalized);
  if (!finalized) MPI_Finalize();
}
#endif
}  // namespace

void startprocesses(int& argc, char**& argv) {
#ifdef KELVORA_MPI
  // Only the main thread calls MPI; the others work on gene trees.
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &count);
  atexit(stopmpi);
  if (rank != 0) {
    silent = new std::ofstream("/dev/null");
    std::cout.rdbuf(silent->rdbuf());
  }
#else
  (void)argc;
  (void)argv;
#endif
}

int processrank() { return rank; }
int processcount() { return count; }
bool mainprocess() { return rank == 0; }

unsigned startparallelwork(int threads, bool seedgiven, unsigned seed) {
  setthreads(threads);
  // A seed from the clock is the main process's: every process draws the same numbers.
  if (count > 1 && !seedgiven) {
    seed = static_cast<unsigned>(mainprocessvalue(static_cast<unsigned long>(time(nullptr))));
    seedrandom(seed);
  }
  return seed;
}

void splitoverprocesses(bool on) { split = on; }
bool splitacrossprocesses() { return split && count > 1; }

DlTotal sumoverprocesses(DlTotal c) {
#ifdef KELVORA_MPI
  if (count > 1) {
    // Whole numbers: the sum is the same in any order.
    long long in[2] = {c.dup, c.loss}, out[2] = {0, 0};
    MPI_Allreduce(in, out, 2, MPI_LONG_LONG, MPI_SUM, MPI_COMM_WORLD);
    return DlTotal(out[0], out[1]);
  }
#endif
  return c;
}

void sumoverprocesses(std::vector<long>& v) {
#ifdef KELVORA_MPI
  if (count > 1) {
    std::vector<long> out(v.size(), 0);
    MPI_Allreduce(v.data(), out.data(), static_cast<int>(v.size()), MPI_LONG, MPI_SUM,
                  MPI_COMM_WORLD);
    v.swap(out);
  }
#else
  (void)v;
#endif
}

std::vector<int> gatherfromall(const std::vector<int>& mine) {
#ifdef KELVORA_MPI
  if (count > 1) {
    int n = static_cast<int>(mine.size());
    std::vector<int> sizes(count), offsets(count, 0);
    MPI_Allgather(&n, 1, MPI_INT, sizes.data(), 1, MPI_INT, MPI_COMM_WORLD);
    for (int r = 1; r < count; r++) offsets[r] = offsets[r - 1] + sizes[r - 1];
    std::vector<int> all(offsets[count - 1] + sizes[count - 1]);
    MPI_Allgatherv(mine.data(), n, MPI_INT, all.data(), sizes.data(), offsets.data(), MPI_INT,
                   MPI_COMM_WORLD);
    return all;
  }
#endif
  return mine;
}

bool mainprocessdecides(bool v) {
#ifdef KELVORA_MPI
  if (count > 1) {
    int x = v ? 1 : 0;
    MPI_Bcast(&x, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return x != 0;
  }
#endif
  return v;
}

unsigned long mainprocessvalue(unsigned long v) {
#ifdef KELVORA_MPI
  if (count > 1) MPI_Bcast(&v, 1, MPI_UNSIGNED_LONG, 0, MPI_COMM_WORLD);
#endif
  return v;
}
