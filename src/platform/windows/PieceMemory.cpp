#include "platform/PieceMemory.h"

namespace hq2hd::platform {

// Large pages on Windows need a privilege that users do not have: pieces come
// from the heap.
void* MapPieceMemory(std::size_t, std::size_t&) { return nullptr; }

void UnmapPieceMemory(void*, std::size_t) {}

}  // namespace hq2hd::platform
