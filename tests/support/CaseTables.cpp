#include "support/CaseTables.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace hq2hd::testing {

// Made by the build from tests/cases/*.txt.
extern const char workFileCasesText[];
extern const char rewriteRuleCasesText[];

namespace {

[[noreturn]] void Malformed(std::string_view line, const char* why) {
  throw std::runtime_error("tests/cases: " + std::string(why) + ": " + std::string(line));
}

// \xNN, \r, \n, \t, \0 and \\ stand for their bytes, every other byte for itself.
std::string Unescape(std::string_view field) {
  std::string bytes;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      bytes += field[i];
      continue;
    }
    const char kind = i + 1 < field.size() ? field[++i] : '?';
    const std::size_t at = std::string_view("rnt0\\").find(kind);
    if (at != std::string_view::npos) {
      bytes += "\r\n\t\0\\"[at];
      continue;
    }
    unsigned value = 0;
    const char* digits = field.data() + i + 1;
    if (kind != 'x' || i + 2 >= field.size() ||
        std::from_chars(digits, digits + 2, value, 16).ptr != digits + 2)
      Malformed(field, "an escape other than \\xNN, \\r, \\n, \\t, \\0 or \\\\");
    bytes += static_cast<char>(value);
    i += 2;
  }
  return bytes;
}

// The tables' text is UTF-8.
std::u16string Utf16(const std::string& utf8) {
  std::u16string text;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k)
      code = code << 6 | (static_cast<unsigned char>(utf8.at(i + k)) & 0x3F);
    i += static_cast<std::size_t>(length);
    if (code >= 0x10000) {
      text += static_cast<char16_t>(0xD7C0 + (code >> 10));
      code = 0xDC00 | (code & 0x3FF);
    }
    text += static_cast<char16_t>(code);
  }
  return text;
}

std::string Trimmed(std::string_view field) {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(field.substr(first, field.find_last_not_of(' ') - first + 1));
}

// The lines of a table that are neither blank nor comments.
std::vector<std::string_view> Rows(std::string_view text) {
  std::vector<std::string_view> rows;
  while (!text.empty()) {
    std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(std::min(text.size(), line.size() + 1));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!Trimmed(line).empty() && !line.starts_with('#')) rows.push_back(line);
  }
  return rows;
}

std::vector<WorkFileRow> ReadWorkFileRows() {
  const std::set<std::string> known = {
      "sweep", "pairs", "no-work-file", "work-file-folder", "platform-out", "rename-back-refused"};
  std::vector<WorkFileRow> rows;
  for (std::string_view line : Rows(workFileCasesText)) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t bar; (bar = line.find('|', start)) != std::string_view::npos; start = bar + 1)
      fields.push_back(Trimmed(line.substr(start, bar - start)));
    fields.push_back(Trimmed(line.substr(start)));
    if (fields.size() < 3 || fields.size() > 5) Malformed(line, "not 3 to 5 fields");
    if (!std::ranges::all_of(fields[1] + fields[2], [](unsigned char byte) { return byte < 0x80; }))
      Malformed(line, "bytes that are not ASCII");
    fields.resize(5);
    WorkFileRow row{fields[0], Unescape(fields[1]), Unescape(fields[2]), {}, {}, Utf16(fields[4])};
    row.left = {"JWC_TEMP.TXT"};
    std::istringstream flags(fields[3]);
    for (std::string flag; flags >> flag;) {
      if (flag.starts_with("left=")) {
        row.left.clear();
        std::istringstream names(flag.substr(5));
        for (std::string name; std::getline(names, name, ',');) row.left.insert(name);
      } else if (known.contains(flag)) {
        row.flags.insert(flag);
      } else {
        Malformed(line, "an unknown flag");
      }
    }
    if (row.Has("platform-out")) row.output.reset();
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

const std::vector<WorkFileRow>& WorkFileRows() {
  static const std::vector<WorkFileRow> rows = ReadWorkFileRows();
  return rows;
}

std::vector<WorkFileRow> PinnedWorkFileRows() {
  std::vector<WorkFileRow> rows;
  std::ranges::copy_if(WorkFileRows(), std::back_inserter(rows),
                       [](const WorkFileRow& row) { return row.output.has_value(); });
  return rows;
}

const std::vector<RuleRow>& RuleRows() {
  static const std::vector<RuleRow> rows = [] {
    std::vector<RuleRow> read;
    for (std::string_view line : Rows(rewriteRuleCasesText)) {
      const std::string_view verdict = line.substr(0, line.find(' '));
      const std::string_view text = line.substr(std::min(line.size(), verdict.size() + 1));
      if ((verdict != "hd" && verdict != "kept") || text.ends_with(' '))
        Malformed(line, "not hd or kept, a blank, the line with no blank at its end");
      read.push_back({Utf16(Unescape(text)), verdict == "hd"});
    }
    return read;
  }();
  return rows;
}

void PrintTo(const RuleRow& row, std::ostream* out) {
  *out << (row.becomesHd ? "hd" : "kept") << std::hex;
  for (char16_t unit : row.line) *out << ' ' << static_cast<int>(unit);
}

}  // namespace hq2hd::testing
