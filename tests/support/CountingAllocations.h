#pragma once
// Counts the program's allocations while a run is active and fails a chosen
// one. Only an executable that replaces the global operator new (the anomaly
// tests) consults it; elsewhere it counts nothing.
#include <cstdint>

namespace hq2hd::testing {

class CountingAllocations {
 public:
  // Starts counting from zero; the `failAt`-th allocation (1-based) throws
  // std::bad_alloc, none when 0.
  static void Start(std::int64_t failAt);
  // Stops counting; the number of allocations made since Start.
  static std::int64_t Stop();
  // Whether the failed allocation was reached.
  static bool Failed();

  // Called by the replaced operator new: true when this allocation must fail.
  static bool NextFails();

  // Allocations made while one of these lives are not the program's own (the
  // test double's bookkeeping, the POSIX backend, which the Windows backend
  // does without) and are neither counted nor failed.
  class Pause {
   public:
    Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
    ~Pause();
  };
};

}  // namespace hq2hd::testing
