#pragma once
// Text is UTF-16 throughout, as the host and the Windows API see it.
#include <string>
#include <string_view>

namespace hq2hd {
using Text = std::u16string;
using TextView = std::u16string_view;
}  // namespace hq2hd
