#include "app/RewriteRule.h"

#include "MyFunc/LowerCase.h"

namespace hq2hd {

bool IsHqLine(TextView line) {
  TextView trimmed = TrimControls(line);
  // Lower-casing keeps the length, so only two units can become "hq".
  if (trimmed.size() != 2) return false;
  return LowerCaseText(trimmed) == u"hq";
}

}  // namespace hq2hd
