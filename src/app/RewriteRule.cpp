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

namespace hq2hd {

bool IsHqLine(std::string_view bytes) {
  std::size_t begin = 0, end = bytes.size();
  while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 0x20) --end;
  // Two bytes that are letters are two characters; no other character
  // lower-cases to h or q.
  return end - begin == 2 && (bytes[begin] | 0x20) == 'h' && (bytes[begin + 1] | 0x20) == 'q';
}

}  // namespace hq2hd

namespace hq2hd {

LineList RewrittenLines(const LineList& input) {
  if (input.IsByteForm())
    return LineList::RewrittenBytes(input, ByteLineRule{&IsHqLine, ByteRewrittenLine});
  LineList output;
  output.Reserve(input.Count());
  for (std::size_t i = 0; i < input.Count(); ++i) {
    if (IsHqLine(input.Line(i))) {
      output.Append(RewrittenLine);
    } else {
      output.AppendFrom(input, i);
    }
  }
  return output;
}

}  // namespace hq2hd
