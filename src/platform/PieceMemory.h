#pragma once
// Memory for the pieces of a file that the run reads in and then looks over.
#include <cstddef>
#include <memory>

namespace hq2hd::platform {

// Gives back what AllocatePieceMemory took, as it took it.
struct PieceMemoryRelease {
  // The length mapped for the bytes; 0 when they came from the heap.
  std::size_t mapped = 0;
  void operator()(char* bytes) const;
};

using PieceMemory = std::unique_ptr<char[], PieceMemoryRelease>;

// Room for `size` bytes, not cleared. On Linux a room of at least
// HugePieceFrom bytes lies in 2 MiB pages where the system has them: every
// 4 KiB page of new memory costs a fault when a read first fills it and,
// under some hypervisors, another when the program first looks at it, and
// a piece of 1 MiB is 256 such pages. Raises std::bad_alloc when there is
// no room.
inline constexpr std::size_t HugePieceFrom = std::size_t{64} << 10;
PieceMemory AllocatePieceMemory(std::size_t size);

}  // namespace hq2hd::platform
