#pragma once
#include <string_view>

#include "codec/LineList.h"
#include "codec/StreamRewrite.h"
#include "platform/Text.h"

namespace hq2hd {

inline constexpr TextView RewrittenLine = u"hd";
// The same line as the bytes of UTF-8 or code page 932.
inline constexpr std::string_view ByteRewrittenLine = "hd";

// True for a line whose text, without blanks and control characters at both
// ends and lower-cased, is exactly "hq".
bool IsHqLine(TextView line);

// The same rule for a line kept as the bytes of UTF-8 or code page 932, where
// every unit up to 0x20 and every ASCII letter is that one byte.
bool IsHqLine(std::string_view bytes);

// The same rule as the run's one pass applies it: a UTF-16 line that holds
// the letters is lower-cased by the platform, as every such line is.
inline constexpr StreamLineRule HqLineRule{"hq", ByteRewrittenLine,
                                           static_cast<bool (*)(TextView)>(&IsHqLine)};

// The lines a run writes: those of `input`, each matching line replaced by
// "hd". A byte-form input gives a byte-form list that applies the rule in
// the pass that writes it, so no list of lines is ever made.
LineList RewrittenLines(const LineList& input);

}  // namespace hq2hd
