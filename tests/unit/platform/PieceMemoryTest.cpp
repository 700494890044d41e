#include <gtest/gtest.h>

#include <cstdint>

#include "platform/PieceMemory.h"

namespace hq2hd::platform {
namespace {

// Room for every unit of each count; on Linux a room of HugePieceFrom bytes
// or more starts on a 2 MiB boundary, without which the system gives it no
// huge page.
template <class Unit>
void CheckRoom(std::size_t count) {
  PieceMemory<Unit> memory = AllocatePieceMemory<Unit>(count);
  // A room short of its count faults here, or fails the sanitizers' build.
  memory[0] = Unit('a');
  memory[count - 1] = Unit('z');
#if defined(__linux__)
  const bool huge = count * sizeof(Unit) >= HugePieceFrom;
  EXPECT_EQ(memory.get_deleter().mapped != 0, huge) << count;
  if (huge) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory.get()) % (std::size_t{2} << 20), 0u) << count;
    EXPECT_GE(memory.get_deleter().mapped, count * sizeof(Unit)) << count;
  }
#endif
}

TEST(PieceMemoryTest, RoomForEveryUnitAndHugePagesFromTheirSize) {
  for (const std::size_t count : {std::size_t{4}, HugePieceFrom - 1, HugePieceFrom,
                                  (std::size_t{1} << 20) + 4, (std::size_t{5} << 20) + 1})
    CheckRoom<char>(count);
  for (const std::size_t count :
       {HugePieceFrom / 2 - 1, HugePieceFrom / 2, (std::size_t{1} << 19) + 4})
    CheckRoom<char16_t>(count);
}

}  // namespace
}  // namespace hq2hd::platform
