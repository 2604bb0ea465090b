#pragma once
#include <chrono>
#include <ctime>

// CPU seconds of the whole process (every thread) and wall seconds since the clock was made.
struct Clock {
  std::clock_t cpu = std::clock();
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpus() const { return double(std::clock() - cpu) / CLOCKS_PER_SEC; }
  double walls() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  }
};
