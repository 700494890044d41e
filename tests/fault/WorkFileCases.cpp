#include "fault/WorkFileCases.h"

#include <string>

namespace hq2hd::testing {
namespace {

// 10000 bytes of numbered lines with an hq line every seventh, so that the
// copy needs blocks of 4096, 4096, 1808 and 0 bytes. The last line is filled
// up to the size and has no line break, which the run adds.
WorkFileCase TenThousandBytes() {
  constexpr std::size_t size = 10000;
  std::string host, expected;
  for (int line = 0;; ++line) {
    const bool hq = line % 7 == 3;
    const std::string text = hq ? " Hq " : "line " + std::to_string(line) + " \x82\xA0";
    if (host.size() + text.size() + 2 + 1 > size) break;
    host += text + "\r\n";
    expected += (hq ? std::string("hd") : text) + "\r\n";
  }
  const std::string last(size - host.size(), 'x');
  host += last;
  expected += last + "\r\n";
  return {"TenThousandBytes", host, expected, false};
}

}  // namespace

const std::vector<WorkFileCase>& WorkFileCases() {
  static const std::vector<WorkFileCase> cases{
      {"Empty", "", "", true},
      {"CodePage932WithHqLines", "a\r\n  HQ\t\r\nhq\r\n\x82\xA0\r\nhqx",
       "a\r\nhd\r\nhd\r\n\x82\xA0\r\nhqx\r\n", true},
      {"Utf8WithMark", "\xEF\xBB\xBF\xC3\xA9\r\nhq\n\xE3\x81\x82",
       "\xEF\xBB\xBF\xC3\xA9\r\nhd\r\n\xE3\x81\x82\r\n", true},
      {"Utf16Le",
       std::string("\xFF\xFE"
                   "h\0q\0\r\0\n\0\x42\x30",
                   12),
       "hd\r\n\x82\xA0\r\n", true},
      TenThousandBytes(),
      // Not code page 932 (85 40 has no character): its shared code 87 90 stays.
      {"InvalidCodePage932", "\x87\x90\r\nhq\r\n\x85\x40", "\x87\x90\r\nhd\r\n\x85\x40\r\n", true},
      // The run gives such a file back as it was, and says why.
      {"InvalidUtf8AfterMark",
       "\xEF\xBB\xBF"
       "a\xFF\r\nhq\r\n",
       "\xEF\xBB\xBF"
       "a\xFF\r\nhq\r\n",
       true, u"EEncodingError: UTF-8 として読み取れないバイトがあります"},
  };
  return cases;
}

}  // namespace hq2hd::testing
