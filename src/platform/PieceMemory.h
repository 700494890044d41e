#pragma once
// Memory for the pieces of a file that the run reads in and then looks over.
#include <cstddef>
#include <memory>

namespace hq2hd::platform {

// On Linux a room of at least this many bytes lies in 2 MiB pages where the
// system has them: every 4 KiB page of new memory costs a fault when a read
// first fills it and, under some hypervisors, another when the program first
// looks at it, and a piece of 1 MiB is 256 such pages.
inline constexpr std::size_t HugePieceFrom = std::size_t{64} << 10;

// An aligned run of huge pages for `bytes`, with its length in `mapped`; null
// below HugePieceFrom and where the system has no such pages to offer.
void* MapPieceMemory(std::size_t bytes, std::size_t& mapped);
void UnmapPieceMemory(void* start, std::size_t mapped);

// Gives back what AllocatePieceMemory took, as it took it.
struct PieceMemoryRelease {
  // The length mapped for the units; 0 when they came from the heap.
  std::size_t mapped = 0;
  template <class Unit>
  void operator()(Unit* units) const {
    if (mapped == 0) {
      delete[] units;
    } else {
      UnmapPieceMemory(units, mapped);
    }
  }
};

template <class Unit>
using PieceMemory = std::unique_ptr<Unit[], PieceMemoryRelease>;

// Room for `count` units, not cleared. Raises std::bad_alloc when there is none.
template <class Unit>
PieceMemory<Unit> AllocatePieceMemory(std::size_t count) {
  std::size_t mapped = 0;
  if (void* const start = MapPieceMemory(count * sizeof(Unit), mapped))
    return PieceMemory<Unit>(static_cast<Unit*>(start), PieceMemoryRelease{mapped});
  return PieceMemory<Unit>(new Unit[count]);
}

}  // namespace hq2hd::platform
