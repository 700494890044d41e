#include <gtest/gtest.h>

#include <cstdint>

#include "platform/PieceMemory.h"

namespace hq2hd::platform {
namespace {

// Every size gives room for all its bytes; on Linux the larger ones start on
// a 2 MiB boundary, without which the system gives them no huge page.
TEST(PieceMemoryTest, RoomForEveryByteAndHugePagesFromTheirSize) {
  for (const std::size_t size : {std::size_t{4}, HugePieceFrom - 1, HugePieceFrom,
                                 (std::size_t{1} << 20) + 4, (std::size_t{5} << 20) + 1}) {
    PieceMemory memory = AllocatePieceMemory(size);
    memory[0] = 'a';
    memory[size - 1] = 'z';
    EXPECT_EQ(memory[0], 'a') << size;
    EXPECT_EQ(memory[size - 1], 'z') << size;
#if defined(__linux__)
    const bool aligned =
        reinterpret_cast<std::uintptr_t>(memory.get()) % (std::size_t{2} << 20) == 0;
    EXPECT_EQ(memory.get_deleter().mapped != 0, size >= HugePieceFrom) << size;
    if (size >= HugePieceFrom) {
      EXPECT_TRUE(aligned) << size;
      EXPECT_GE(memory.get_deleter().mapped, size) << size;
    }
#endif
  }
}

}  // namespace
}  // namespace hq2hd::platform
