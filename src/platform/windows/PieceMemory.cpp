#include "platform/PieceMemory.h"

namespace hq2hd::platform {

// Large pages on Windows need a privilege that users do not have: the heap.
PieceMemory AllocatePieceMemory(std::size_t size) { return PieceMemory(new char[size]); }

void PieceMemoryRelease::operator()(char* bytes) const { delete[] bytes; }

}  // namespace hq2hd::platform
