#include "parallel/pool.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "trees/fatal.h"

namespace {

// A worker spins this many rounds for the next job before it sleeps: moves follow each other
// within microseconds during a search, and a sleeping thread costs a system call to wake.
constexpr int SPINS = 4000;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

class Pool {
 public:
  explicit Pool(int n) {
    for (int t = 1; t < n; t++) workers.emplace_back([this, t] { work(t); });
  }

  ~Pool() {
    {
      std::lock_guard<std::mutex> lock(m);
      quit.store(true, std::memory_order_release);
      generation.fetch_add(1, std::memory_order_release);
    }
    wake.notify_all();
    for (std::thread& w : workers) w.join();
  }

  int size() const { return static_cast<int>(workers.size()) + 1; }

  void run(int parts, const std::function<void(int)>& body) {
    job = &body;
    active = parts;
    failures.assign(parts, nullptr);
    pending.store(static_cast<int>(workers.size()), std::memory_order_relaxed);
    {
      std::lock_guard<std::mutex> lock(m);
      generation.fetch_add(1, std::memory_order_release);
    }
    wake.notify_all();
    runpart(0);
    for (int i = 0; i < SPINS && pending.load(std::memory_order_acquire) != 0; i++) relax();
    if (pending.load(std::memory_order_acquire) != 0) {
      std::unique_lock<std::mutex> lock(m);
      done.wait(lock, [this] { return pending.load(std::memory_order_acquire) == 0; });
    }
    // Every part has returned and the workers wait: the first part that failed runs again
    // here, not quietly, so that its error ends the run from this thread as on one thread.
    for (int t = 0; t < parts; t++)
      if (failures[t]) {
        body(t);
        std::rethrow_exception(failures[t]);
      }
  }

 private:
  // A part runs quietly (trees/fatal.h): an error in it throws instead of exiting on this
  // thread, and whatever it throws ends the part only, kept for the calling thread.
  void runpart(int t) {
    const bool was = quietparse;
    quietparse = true;
    try {
      (*job)(t);
    } catch (...) {
      failures[t] = std::current_exception();
    }
    quietparse = was;
  }

  void work(int t) {
    unsigned seen = 0;
    for (;;) {
      unsigned g = generation.load(std::memory_order_acquire);
      for (int i = 0; i < SPINS && g == seen; i++) {
        relax();
        g = generation.load(std::memory_order_acquire);
      }
      if (g == seen) {
        std::unique_lock<std::mutex> lock(m);
        wake.wait(lock, [&] { return generation.load(std::memory_order_acquire) != seen; });
        g = generation.load(std::memory_order_acquire);
      }
      seen = g;
      if (quit.load(std::memory_order_acquire)) return;
      if (t < active) runpart(t);
      if (pending.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        std::lock_guard<std::mutex> lock(m);
        done.notify_one();
      }
    }
  }

  std::vector<std::thread> workers;
  std::mutex m;
  std::condition_variable wake, done;
  std::atomic<unsigned> generation{0};
  std::atomic<int> pending{0};
  // Written by the caller before the generation changes, read by the workers after.
  const std::function<void(int)>* job = nullptr;
  int active = 0;
  std::vector<std::exception_ptr> failures;  // by part; each written by its own thread
  std::atomic<bool> quit{false};
};

int wanted = 1;
std::unique_ptr<Pool> pool;

}  // namespace

void setthreads(int n) {
  if (n <= 0) n = static_cast<int>(std::thread::hardware_concurrency());
  wanted = n < 1 ? 1 : n;
  if (pool && pool->size() != wanted) pool.reset();
}

int threadcount() { return wanted; }

void runparts(int parts, const std::function<void(int)>& body) {
  if (parts <= 1) {
    body(0);
    return;
  }
  if (!pool) pool = std::make_unique<Pool>(wanted);
  pool->run(parts, body);
}
