#pragma once
#include "codec/StreamRewrite.h"
#include "platform/Text.h"

namespace hq2hd {

// True for a line whose text, without blanks and control characters at both
// ends and lower-cased, is exactly "hq".
bool IsHqLine(TextView line);

// The rule as the run's one pass applies it: bytes and units up to 0x20 around
// the two letters, met in any case; a UTF-16 line that holds the letters is
// lower-cased by the platform, as every such line is.
inline constexpr StreamLineRule HqLineRule{"hq", "hd", static_cast<bool (*)(TextView)>(&IsHqLine)};

}  // namespace hq2hd
