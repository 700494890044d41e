#include "platform/PieceMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace hq2hd::platform {

namespace {
constexpr std::size_t HugePage = std::size_t{2} << 20;
}

void* MapPieceMemory(std::size_t bytes, std::size_t& mapped) {
#ifdef MADV_HUGEPAGE
  if (bytes < HugePieceFrom) return nullptr;
  // A huge page must start on a 2 MiB boundary: one page more is mapped and
  // what lies outside the aligned run is given back.
  const std::size_t length = (bytes + HugePage - 1) / HugePage * HugePage;
  void* const mapping = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
  if (aligned != start) ::munmap(mapping, aligned - start);
  if (const std::uintptr_t tail = start + HugePage - aligned; tail != 0)
    ::munmap(reinterpret_cast<void*>(aligned + length), tail);
  // Only a hint: where the system has no huge page free, or keeps them off,
  // the same memory comes in 4 KiB pages.
  ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  mapped = length;
  return reinterpret_cast<void*>(aligned);
#else
  static_cast<void>(bytes);
  static_cast<void>(mapped);
  return nullptr;
#endif
}

void UnmapPieceMemory(void* start, std::size_t mapped) { ::munmap(start, mapped); }

}  // namespace hq2hd::platform
