#pragma once
// Code page 65001 with MultiByteToWideChar / WideCharToMultiByte semantics.
// The caller has checked the arguments; a null output or a zero capacity
// measures. On failure 0 is returned and `error` holds the Windows code.
#include <cstdint>

namespace hq2hd::platform::posix {

// Strict with MbErrInvalidChars: any invalid byte fails the call with 1113.
// Lenient without: each invalid byte becomes U+FFFD.
int DecodeUtf8(std::uint32_t flags, const char* bytes, int count, char16_t* units, int capacity,
               std::uint32_t& error);

// A lone surrogate becomes U+FFFD (EF BF BD); with WC_ERR_INVALID_CHARS (0x80)
// it fails the call with 1113 instead.
int EncodeUtf8(std::uint32_t flags, const char16_t* units, int count, char* bytes, int capacity,
               std::uint32_t& error);

inline constexpr std::uint32_t WcErrInvalidChars = 0x80;

}  // namespace hq2hd::platform::posix
