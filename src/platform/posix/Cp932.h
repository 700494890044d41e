#pragma once
// Code page 932 converted by the POSIX backend itself, agreeing with the
// Windows conversion for every valid code (see tests/unit/platform).
#include <cstdint>

namespace hq2hd::platform::posix {

bool IsCp932LeadByte(unsigned char byte);

// MultiByteToWideChar(932, flags, ...) semantics: a null `units` or zero
// `capacity` measures. With MbErrInvalidChars an invalid sequence fails the
// whole call: 0 is returned and `error` is set to 1113.
int DecodeCp932(std::uint32_t flags, const char* bytes, int count, char16_t* units, int capacity,
                std::uint32_t& error);

// WideCharToMultiByte(932, 0, ...) semantics, no default character given.
int EncodeCp932(const char16_t* units, int count, char* bytes, int capacity, std::uint32_t& error);

}  // namespace hq2hd::platform::posix
