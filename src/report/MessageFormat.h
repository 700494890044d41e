#pragma once
#include <cstdint>
#include <initializer_list>
#include <variant>

#include "platform/Text.h"

namespace hq2hd {

using FormatArgument = std::variant<std::int32_t, TextView>;

// Fills "%d" (signed 32-bit decimal) and "%s" (text as it stands) from left
// to right. Other characters, a lone "%" included, are copied.
Text FormatMessageText(TextView pattern, std::initializer_list<FormatArgument> arguments);

Text DecimalText(std::int32_t value);

// ASCII only: class names and module names.
Text AsciiText(const char* ascii);

}  // namespace hq2hd
