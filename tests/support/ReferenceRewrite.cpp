#include "support/ReferenceRewrite.h"

#include <vector>

#include "app/RewriteRule.h"
#include "platform/Platform.h"

namespace hq2hd::testing {

namespace {

template <class Unit>
std::vector<std::basic_string<Unit>> SplitLines(std::basic_string_view<Unit> text) {
  std::vector<std::basic_string<Unit>> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = at;
    while (end < text.size() && text[end] != Unit('\r') && text[end] != Unit('\n')) ++end;
    lines.emplace_back(text.substr(at, end - at));
    at = end;
    if (at < text.size() && text[at] == Unit('\r')) ++at;
    if (at < text.size() && text[at] == Unit('\n')) ++at;
  }
  return lines;
}

// Lines kept as bytes: units up to 0x20 around the two letters, in any case.
bool IsHqBytes(std::string_view line) {
  while (!line.empty() && static_cast<unsigned char>(line.front()) <= 0x20) line.remove_prefix(1);
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= 0x20) line.remove_suffix(1);
  return line.size() == 2 && (line[0] | 0x20) == 'h' && (line[1] | 0x20) == 'q';
}

std::optional<std::u16string> Decode(std::uint32_t codePage, std::string_view bytes) {
  auto& os = platform::Os();
  if (bytes.empty()) return std::u16string();
  const int count = static_cast<int>(bytes.size());
  const int units = os.MultiByteToWideChar(codePage, platform::MbErrInvalidChars, bytes.data(),
                                           count, nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::u16string text(static_cast<std::size_t>(units), u'\0');
  os.MultiByteToWideChar(codePage, platform::MbErrInvalidChars, bytes.data(), count, text.data(),
                         units);
  return text;
}

std::string Encode(std::uint32_t codePage, std::u16string_view text) {
  auto& os = platform::Os();
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int size = os.WideCharToMultiByte(codePage, 0, text.data(), count, nullptr, 0);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  os.WideCharToMultiByte(codePage, 0, text.data(), count, bytes.data(), size);
  return bytes;
}

std::string RewrittenText(std::uint32_t codePage, std::u16string_view text) {
  std::u16string joined;
  for (const std::u16string& line : SplitLines(text))
    joined += (IsHqLine(line) ? u"hd" : line) + u"\r\n";
  return Encode(codePage, joined);
}

}  // namespace

std::optional<std::string> ReferenceRewrite(std::string_view input) {
  const std::uint32_t ansi = platform::Os().AnsiCodePage();
  const std::string ansiMark = ansi == platform::CodePageUtf8 ? "\xEF\xBB\xBF" : "";
  if (input.starts_with("\xEF\xBB\xBF")) {
    const std::optional<std::u16string> text = Decode(platform::CodePageUtf8, input.substr(3));
    if (!text) return std::nullopt;
    return "\xEF\xBB\xBF" + RewrittenText(platform::CodePageUtf8, *text);
  }
  if (input.starts_with("\xFF\xFE") || input.starts_with("\xFE\xFF")) {
    const bool bigEndian = input[0] == '\xFE';
    std::u16string text;
    // A last odd byte has no partner and is left out.
    for (std::size_t k = 2; k + 1 < input.size(); k += 2) {
      const auto first = static_cast<unsigned char>(input[k]);
      const auto second = static_cast<unsigned char>(input[k + 1]);
      text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return ansiMark + RewrittenText(ansi, text);
  }
  // Valid code page 932 is read as text; anything else keeps its own bytes.
  if (ansi == platform::CodePageShiftJis) {
    if (const std::optional<std::u16string> text = Decode(ansi, input))
      return ansiMark + RewrittenText(ansi, *text);
  }
  std::string own = ansiMark;
  for (const std::string& line : SplitLines(input)) own += (IsHqBytes(line) ? "hd" : line) + "\r\n";
  return own;
}

}  // namespace hq2hd::testing
