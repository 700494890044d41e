#include "platform/posix/NameCodec.h"

#include "platform/posix/Utf8Sequence.h"

namespace hq2hd::platform::posix {

Text DecodeName(std::string_view bytes) {
  Text name;
  name.reserve(bytes.size());
  const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = at + bytes.size();
  while (at < end) {
    char32_t codePoint = 0;
    const std::size_t length = ReadUtf8Sequence(at, end, codePoint);
    if (length == 0) {
      name.push_back(static_cast<char16_t>(0xDC00 | *at));
      ++at;
      continue;
    }
    if (codePoint >= 0x10000) {
      name.push_back(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
      name.push_back(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
    } else {
      name.push_back(static_cast<char16_t>(codePoint));
    }
    at += length;
  }
  return name;
}

std::string EncodeName(TextView name) {
  std::string bytes;
  bytes.reserve(name.size());
  unsigned char sequence[4];
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i];
    char32_t codePoint = unit;
    if (IsHighSurrogate(unit) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
      codePoint = CombineSurrogates(unit, name[i + 1]);
      ++i;
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      continue;
    }
    const std::size_t length = WriteUtf8Sequence(codePoint, sequence);
    bytes.append(reinterpret_cast<const char*>(sequence), length);
  }
  return bytes;
}

}  // namespace hq2hd::platform::posix
