#pragma once
#include <cstdint>

namespace hq2hd {

// Counts are signed 32-bit: neither a work file nor what is written for it
// may pass this.
inline constexpr std::uint64_t MaxFileBytes = 0x7FFFFFFF;

}  // namespace hq2hd
