#include "report/MessageFormat.h"

namespace hq2hd {

Text DecimalText(std::int32_t value) {
  // Widened first: the most negative value has no positive int32 twin.
  std::int64_t wide = value;
  bool negative = wide < 0;
  if (negative) wide = -wide;
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + wide % 10));
    wide /= 10;
  } while (wide != 0);
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

Text AsciiText(const char* ascii) {
  Text text;
  for (; *ascii != '\0'; ++ascii) text.push_back(static_cast<unsigned char>(*ascii));
  return text;
}

Text FormatMessageText(TextView pattern, std::initializer_list<FormatArgument> arguments) {
  Text out;
  out.reserve(pattern.size() + 64);
  auto next = arguments.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char16_t unit = pattern[i];
    if (unit == u'%' && i + 1 < pattern.size() && next != arguments.end()) {
      char16_t kind = pattern[i + 1];
      if (kind == u'd' && std::holds_alternative<std::int32_t>(*next)) {
        out += DecimalText(std::get<std::int32_t>(*next++));
        ++i;
        continue;
      }
      if (kind == u's' && std::holds_alternative<TextView>(*next)) {
        out += std::get<TextView>(*next++);
        ++i;
        continue;
      }
    }
    out.push_back(unit);
  }
  return out;
}

}  // namespace hq2hd
