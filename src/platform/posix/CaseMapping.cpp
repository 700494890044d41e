#include "platform/posix/CaseMapping.h"

namespace hq2hd::platform::posix {
namespace {

bool InRange(char16_t unit, char16_t first, char16_t last) { return unit >= first && unit <= last; }

// Latin Extended-A pairs capital and small letters as even/odd neighbours,
// except in U+0138..U+0148 and U+0179..U+017E, where the capital is odd.
// U+0130 (dotted I) and U+0178 (Y with diaeresis) have their own rules.
char16_t LowerLatinExtendedA(char16_t unit) {
  if (unit == 0x0130) return unit;
  if (unit == 0x0178) return 0x00FF;
  const bool capitalIsOdd = InRange(unit, 0x0139, 0x0148) || InRange(unit, 0x0179, 0x017E);
  const bool isOdd = (unit & 1) != 0;
  if (unit == 0x0138 || unit == 0x0149 || unit == 0x017F) return unit;
  return capitalIsOdd == isOdd ? static_cast<char16_t>(unit + 1) : unit;
}

}  // namespace

char16_t LowerCaseUnit(char16_t unit) {
  if (unit < 0x80) return InRange(unit, u'A', u'Z') ? static_cast<char16_t>(unit + 0x20) : unit;
  if (InRange(unit, 0x00C0, 0x00DE) && unit != 0x00D7) return static_cast<char16_t>(unit + 0x20);
  if (InRange(unit, 0x0100, 0x017F)) return LowerLatinExtendedA(unit);
  if (InRange(unit, 0x0391, 0x03AB) && unit != 0x03A2) return static_cast<char16_t>(unit + 0x20);
  if (InRange(unit, 0x0400, 0x040F)) return static_cast<char16_t>(unit + 0x50);
  if (InRange(unit, 0x0410, 0x042F)) return static_cast<char16_t>(unit + 0x20);
  if (InRange(unit, 0xFF21, 0xFF3A)) return static_cast<char16_t>(unit + 0x20);
  return unit;
}

}  // namespace hq2hd::platform::posix
