#pragma once
#include "platform/Text.h"

namespace hq2hd {

inline constexpr TextView RewrittenLine = u"hd";

// True for a line whose text, without blanks and control characters at both
// ends and lower-cased, is exactly "hq".
bool IsHqLine(TextView line);

}  // namespace hq2hd
