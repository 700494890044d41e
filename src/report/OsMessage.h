#pragma once
#include <cstdint>

#include "platform/Text.h"

namespace hq2hd {

// The system's message for an error code without its trailing blanks,
// control characters and periods; empty when the system has none.
Text OsMessage(std::uint32_t code);

// Raises EOSError for the calling thread's last platform error. Call it right
// after the platform call that failed.
[[noreturn]] void RaiseLastOsError();

// Raises EFCreateError for the file `path`, with the system's text for
// `code`, the error of the create (or replacement) that was refused.
[[noreturn]] void RaiseCannotCreate(TextView path, std::uint32_t code);

}  // namespace hq2hd
