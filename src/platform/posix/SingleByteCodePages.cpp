#include "platform/posix/SingleByteCodePages.h"

#include "platform/Platform.h"

namespace hq2hd::platform::posix {
namespace {

// 0x80..0x9F of code page 1252; the five unassigned bytes keep their C1
// control value, as Windows maps them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t DecodeByte(std::uint32_t codePage, unsigned char byte) {
  if (byte < 0x80) return byte;
  // US-ASCII has no upper half; Windows drops the eighth bit.
  if (codePage == CodePageUsAscii) return static_cast<char16_t>(byte & 0x7F);
  if (byte < 0xA0) return kWindows1252High[byte - 0x80];
  return byte;
}

char EncodeUnit(std::uint32_t codePage, char16_t unit) {
  if (unit < 0x80) return static_cast<char>(unit);
  if (codePage == CodePageUsAscii) return '?';
  if (unit >= 0xA0 && unit <= 0xFF) return static_cast<char>(unit);
  for (int i = 0; i < 32; ++i)
    if (kWindows1252High[i] == unit) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

int DecodeSingleByte(std::uint32_t codePage, const char* bytes, int count, char16_t* units,
                     int capacity, std::uint32_t& error) {
  if (units == nullptr || capacity == 0) return count;
  if (capacity < count) {
    error = error::InsufficientBuffer;
    return 0;
  }
  for (int i = 0; i < count; ++i)
    units[i] = DecodeByte(codePage, static_cast<unsigned char>(bytes[i]));
  return count;
}

int EncodeSingleByte(std::uint32_t codePage, const char16_t* units, int count, char* bytes,
                     int capacity, std::uint32_t& error) {
  if (bytes == nullptr || capacity == 0) return count;
  if (capacity < count) {
    error = error::InsufficientBuffer;
    return 0;
  }
  for (int i = 0; i < count; ++i) bytes[i] = EncodeUnit(codePage, units[i]);
  return count;
}

}  // namespace hq2hd::platform::posix
