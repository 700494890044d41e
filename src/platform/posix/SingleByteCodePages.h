#pragma once
// Code pages 1252 and 20127, the single-byte pages besides the ANSI one that
// CodePageInfo admits. Same calling rules as the other conversions: null
// output or zero capacity measures, 0 and `error` on failure.
#include <cstdint>

namespace hq2hd::platform::posix {

inline constexpr std::uint32_t CodePageWindows1252 = 1252;
inline constexpr std::uint32_t CodePageUsAscii = 20127;

int DecodeSingleByte(std::uint32_t codePage, const char* bytes, int count, char16_t* units,
                     int capacity, std::uint32_t& error);

// A character the page lacks becomes "?", the pages' default character.
int EncodeSingleByte(std::uint32_t codePage, const char16_t* units, int count, char* bytes,
                     int capacity, std::uint32_t& error);

}  // namespace hq2hd::platform::posix
