// mpireduce: the cost of what an MPI search adds to every move, one sum of a cost pair over
// the processes. Usage: mpirun -np P mpireduce [rounds]; the first process prints the mean.
#include <mpi.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0, size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  const int rounds = argc > 1 ? atoi(argv[1]) : 20000;
  long in[2] = {rank, 1}, out[2];
  for (int i = 0; i < 1000; i++) MPI_Allreduce(in, out, 2, MPI_LONG, MPI_SUM, MPI_COMM_WORLD);
  MPI_Barrier(MPI_COMM_WORLD);
  double start = MPI_Wtime();
  for (int i = 0; i < rounds; i++) MPI_Allreduce(in, out, 2, MPI_LONG, MPI_SUM, MPI_COMM_WORLD);
  double each = (MPI_Wtime() - start) / rounds;
  if (rank == 0) printf("%d processes: %.2f us per reduction of a cost pair\n", size, each * 1e6);
  MPI_Finalize();
  return 0;
}
