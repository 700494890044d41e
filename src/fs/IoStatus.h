#pragma once
// The per-thread I/O result that file-variable operations leave instead of
// raising, and the check that turns a pending code into EInOutError.
#include <cstdint>

#include "platform/Text.h"

namespace hq2hd {

namespace iocode {
inline constexpr std::int32_t FileNameTooLong = 3;
inline constexpr std::int32_t ReadShort = 100;
inline constexpr std::int32_t WriteShort = 101;
inline constexpr std::int32_t NotAssigned = 102;
inline constexpr std::int32_t NotOpen = 103;
inline constexpr std::int32_t NoStandardOutput = 105;
}  // namespace iocode

class IoStatus {
 public:
  static std::int32_t Peek();
  static void Set(std::int32_t code);
  // Returns the pending code and clears it.
  static std::int32_t Take();
};

// The message of the I/O failure for a code.
Text IoFailureMessage(std::int32_t code);

// Raises EInOutError when a code is pending, clearing it first.
void CheckIo();

}  // namespace hq2hd
