#include "MyFunc/LowerCase.h"

#include "platform/Platform.h"
#include "report/OsMessage.h"

namespace hq2hd {

std::uint32_t LowerCaseLocale() {
  static const std::uint32_t locale = [] {
    std::uint32_t thread = platform::Os().ThreadLocale();
    return thread != 0 ? thread : 0x0409u;
  }();
  return locale;
}

Text LowerCaseText(TextView text) {
  if (text.empty()) return Text();
  Text lower(text.size(), u'\0');
  int count = static_cast<int>(text.size());
  if (platform::Os().LowerCase(LowerCaseLocale(), text.data(), count, lower.data()) == 0)
    RaiseLastOsError();
  return lower;
}

}  // namespace hq2hd
