#pragma once
#include <string_view>

#include "platform/Text.h"

namespace hq2hd {

inline constexpr TextView RewrittenLine = u"hd";

// True for a line whose text, without blanks and control characters at both
// ends and lower-cased, is exactly "hq".
bool IsHqLine(TextView line);

// The same rule for a line kept as the bytes of UTF-8 or code page 932, where
// every unit up to 0x20 and every ASCII letter is that one byte.
bool IsHqLine(std::string_view bytes);

}  // namespace hq2hd
