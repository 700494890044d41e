#include "codec/FileNameText.h"

#include <vector>

#include "platform/Platform.h"

namespace hq2hd {

Text AbsoluteNameOrEmpty(TextView path) {
  auto& os = platform::Os();
  std::vector<char16_t> buffer(260);
  std::uint32_t length = os.FullPathName(path, static_cast<std::uint32_t>(buffer.size()),
                                         buffer.data());
  if (length > buffer.size()) {
    buffer.assign(length, u'\0');
    length = os.FullPathName(path, length, buffer.data());
    if (length >= buffer.size()) return Text();
  }
  return Text(buffer.data(), length);
}

}  // namespace hq2hd
