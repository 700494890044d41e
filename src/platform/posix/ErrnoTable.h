#pragma once
// The one mapping between the C library's errno values and the Windows error
// codes that the rest of the program expects from the platform.
#include <cstdint>
#include <optional>

namespace hq2hd::platform::posix {

// The Windows code for an errno value. A value the table does not know gives
// ERROR_GEN_FAILURE (31), so that a failure never reads as success.
std::uint32_t WindowsErrorFromErrno(int errnum);

// The errno value whose text stands for a Windows code, when there is one.
std::optional<int> ErrnoFromWindowsError(std::uint32_t code);

}  // namespace hq2hd::platform::posix
