#pragma once
// Text is UTF-16 throughout, as the host and the Windows API see it.
#include <string>
#include <string_view>

namespace hq2hd {
using Text = std::u16string;
using TextView = std::u16string_view;

// Without every unit up to 0x20 (blanks and control characters) at both ends.
inline TextView TrimControls(TextView text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] <= 0x20) ++begin;
  while (end > begin && text[end - 1] <= 0x20) --end;
  return text.substr(begin, end - begin);
}
}  // namespace hq2hd
