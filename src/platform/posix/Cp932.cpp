// Placeholder until the generated tables land: ASCII only.
#include "platform/posix/Cp932.h"

#include "platform/Platform.h"

namespace hq2hd::platform::posix {

bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

int DecodeCp932(std::uint32_t, const char* bytes, int count, char16_t* units, int capacity,
                std::uint32_t& error) {
  if (units != nullptr && capacity > 0 && capacity < count) {
    error = error::InsufficientBuffer;
    return 0;
  }
  for (int i = 0; units != nullptr && capacity > 0 && i < count; ++i)
    units[i] = static_cast<unsigned char>(bytes[i]);
  return count;
}

int EncodeCp932(const char16_t* units, int count, char* bytes, int capacity,
                std::uint32_t& error) {
  if (bytes != nullptr && capacity > 0 && capacity < count) {
    error = error::InsufficientBuffer;
    return 0;
  }
  for (int i = 0; bytes != nullptr && capacity > 0 && i < count; ++i)
    bytes[i] = static_cast<char>(units[i] < 0x80 ? units[i] : u'?');
  return count;
}

}  // namespace hq2hd::platform::posix
