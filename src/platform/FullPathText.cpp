#include "platform/FullPathText.h"

#include <vector>

#include "platform/Platform.h"

namespace hq2hd::platform {

Text FullPathText(TextView name) {
  constexpr std::uint32_t FirstBufferLength = 260;
  std::vector<char16_t> buffer(FirstBufferLength);
  std::uint32_t length = Os().FullPathName(name, FirstBufferLength, buffer.data());
  if (length > FirstBufferLength) {
    buffer.assign(length, u'\0');
    length = Os().FullPathName(name, length, buffer.data());
    if (length >= buffer.size()) return Text();
  }
  return Text(buffer.data(), length);
}

}  // namespace hq2hd::platform
