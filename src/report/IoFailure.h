#pragma once
// The check that turns a pending I/O code into EInOutError.
#include <cstdint>

#include "platform/IoStatus.h"
#include "platform/Text.h"

namespace hq2hd {

// The message of the I/O failure for a code.
Text IoFailureMessage(std::int32_t code);

// Raises EInOutError with the message for the code.
[[noreturn]] void RaiseIoFailure(std::int32_t code);

// Raises EInOutError when a code is pending, clearing it first. Inline: the
// copy checks after each block.
inline void CheckIo() {
  if (IoStatus::Peek() != 0) [[unlikely]]
    RaiseIoFailure(IoStatus::Take());
}

}  // namespace hq2hd
