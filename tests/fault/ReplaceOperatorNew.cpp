// The anomaly tests fail the program's k-th allocation. Replacing the global
// operator new is the one hook that reaches every allocation, so it lives in
// this executable alone.
#include <cstdlib>
#include <new>

#include "support/CountingAllocations.h"

namespace {

void* Allocate(std::size_t size) {
  if (hq2hd::testing::CountingAllocations::NextFails()) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
