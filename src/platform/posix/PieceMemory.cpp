#include "platform/PieceMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace hq2hd::platform {

namespace {
constexpr std::size_t HugePage = std::size_t{2} << 20;
}

PieceMemory AllocatePieceMemory(std::size_t size) {
#ifdef MADV_HUGEPAGE
  if (size >= HugePieceFrom) {
    // A huge page must start on a 2 MiB boundary: one page more is mapped
    // and what lies outside the aligned run is given back.
    const std::size_t length = (size + HugePage - 1) / HugePage * HugePage;
    void* const mapping = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
    if (aligned != start) ::munmap(mapping, aligned - start);
    if (const std::uintptr_t tail = start + HugePage - aligned; tail != 0)
      ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    // Only a hint: where the system has no huge page free, or keeps them
    // off, the same memory comes in 4 KiB pages.
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return PieceMemory(reinterpret_cast<char*>(aligned), PieceMemoryRelease{length});
  }
#endif
  return PieceMemory(new char[size]);
}

void PieceMemoryRelease::operator()(char* bytes) const {
  if (mapped == 0) {
    delete[] bytes;
  } else {
    ::munmap(bytes, mapped);
  }
}

}  // namespace hq2hd::platform
