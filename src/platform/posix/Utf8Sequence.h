#pragma once
// One step of UTF-8, shared by the name mapping and the code page 65001
// conversion so that both agree on what counts as valid.
#include <cstddef>

namespace hq2hd::platform::posix {

// Reads the well-formed sequence at `at` (overlong forms, encoded surrogates
// and values above U+10FFFF are not). Returns its length and the code point,
// or 0 when the byte at `at` does not begin one.
inline std::size_t ReadUtf8Sequence(const unsigned char* at, const unsigned char* end,
                                    char32_t& codePoint) {
  const unsigned char lead = *at;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (static_cast<std::size_t>(end - at) < length) return 0;
  if (at[1] < low || at[1] > high) return 0;
  char32_t value = lead & (0xFF >> (length + 1));
  value = (value << 6) | (at[1] & 0x3F);
  for (std::size_t i = 2; i < length; ++i) {
    if ((at[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (at[i] & 0x3F);
  }
  codePoint = value;
  return length;
}

// Writes a code point below 0x110000 (surrogates included, for the
// generalized form) and returns the number of bytes, 1 to 4.
inline std::size_t WriteUtf8Sequence(char32_t codePoint, unsigned char* out) {
  if (codePoint < 0x80) {
    out[0] = static_cast<unsigned char>(codePoint);
    return 1;
  }
  if (codePoint < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (codePoint >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  if (codePoint < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (codePoint >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
  return 4;
}

inline bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

inline char32_t CombineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

}  // namespace hq2hd::platform::posix
