#include "support/CaseTables.h"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace hq2hd::testing {

// Defined in the source that the build makes from tests/cases/*.txt.
extern const char workFileCasesText[];
extern const char rewriteRuleCasesText[];

namespace {

[[noreturn]] void Malformed(std::string_view table, std::string_view line, const char* why) {
  throw std::runtime_error(std::string(table) + ": " + why + ": " + std::string(line));
}

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

void AppendUtf16(std::u16string& text, char32_t code) {
  if (code < 0x10000) {
    text += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    text += static_cast<char16_t>(0xD800 + (code >> 10));
    text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

// The escapes both tables share; every other character stands for itself.
// Characters are code points: a table's UTF-8 is decoded, and \xNN is U+00NN.
std::u32string Unescape(std::string_view table, std::string_view field) {
  std::u32string text;
  for (std::size_t i = 0; i < field.size();) {
    const auto byte = static_cast<unsigned char>(field[i]);
    if (byte >= 0x80) {
      const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
      char32_t code = byte & (0x3F >> (length - 1));
      for (int k = 1; k < length; ++k)
        code = code << 6 | (static_cast<unsigned char>(field.at(i + k)) & 0x3F);
      text += code;
      i += static_cast<std::size_t>(length);
      continue;
    }
    if (byte != '\\') {
      text += byte;
      ++i;
      continue;
    }
    if (i + 1 >= field.size()) Malformed(table, field, "a lone backslash");
    const char kind = field[i + 1];
    const std::size_t digits = kind == 'x' ? 2 : kind == 'u' ? 4 : kind == 'U' ? 8 : 0;
    if (digits == 0) {
      switch (kind) {
        case '\\':
          text += U'\\';
          break;
        case 'r':
          text += U'\r';
          break;
        case 'n':
          text += U'\n';
          break;
        case 't':
          text += U'\t';
          break;
        case '0':
          text += U'\0';
          break;
        default:
          Malformed(table, field, "an unknown escape");
      }
      i += 2;
      continue;
    }
    char32_t code = 0;
    for (std::size_t k = 0; k < digits; ++k) {
      const int value = i + 2 + k < field.size() ? HexValue(field[i + 2 + k]) : -1;
      if (value < 0) Malformed(table, field, "a short escape");
      code = code << 4 | static_cast<char32_t>(value);
    }
    text += code;
    i += 2 + digits;
  }
  return text;
}

// A byte field is ASCII: every other byte is written as an escape.
std::string Bytes(std::string_view table, std::string_view field) {
  for (char byte : field)
    if (static_cast<unsigned char>(byte) >= 0x80) Malformed(table, field, "a byte field not ASCII");
  std::string bytes;
  for (char32_t code : Unescape(table, field)) bytes += static_cast<char>(code);
  return bytes;
}

std::u16string Text(std::string_view table, std::string_view field) {
  std::u16string text;
  for (char32_t code : Unescape(table, field)) AppendUtf16(text, code);
  return text;
}

std::string_view Trimmed(std::string_view field) {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return field.substr(first, field.find_last_not_of(' ') - first + 1);
}

// The lines of a table that are neither blank nor comments.
std::vector<std::string_view> Rows(std::string_view text) {
  std::vector<std::string_view> rows;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!Trimmed(line).empty() && !line.starts_with('#')) rows.push_back(line);
  }
  return rows;
}

std::vector<WorkFileRow> ReadWorkFileRows() {
  constexpr std::string_view table = "work_files.txt";
  const std::set<std::string> known = {
      "sweep", "pairs", "no-work-file", "work-file-folder", "platform-out", "rename-back-refused"};
  std::vector<WorkFileRow> rows;
  for (std::string_view line : Rows(workFileCasesText)) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
      const std::size_t bar = line.find('|', start);
      fields.push_back(Trimmed(line.substr(start, bar - start)));
      if (bar == std::string_view::npos) break;
      start = bar + 1;
    }
    if (fields.size() < 3 || fields.size() > 5) Malformed(table, line, "not 3 to 5 fields");
    fields.resize(5);
    WorkFileRow row{std::string(fields[0]), Bytes(table, fields[1]), Bytes(table, fields[2]), {},
                    {"JWC_TEMP.TXT"},       Text(table, fields[4])};
    std::istringstream flags{std::string(fields[3])};
    for (std::string flag; flags >> flag;) {
      if (flag.starts_with("left=")) {
        row.left.clear();
        std::istringstream names(flag.substr(5));
        for (std::string name; std::getline(names, name, ',');) row.left.insert(name);
      } else if (known.contains(flag)) {
        row.flags.insert(flag);
      } else {
        Malformed(table, line, "an unknown flag");
      }
    }
    if (row.Has("platform-out")) row.output.reset();
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<RuleRow> ReadRuleRows() {
  constexpr std::string_view table = "rewrite_rule.txt";
  std::vector<RuleRow> rows;
  for (std::string_view line : Rows(rewriteRuleCasesText)) {
    const std::string_view verdict = line.substr(0, line.find(' '));
    if (verdict != "hd" && verdict != "kept") Malformed(table, line, "neither hd nor kept");
    const std::string_view text = line.substr(std::min(line.size(), verdict.size() + 1));
    if (text.ends_with(' ')) Malformed(table, line, "a blank at the end, not written \\x20");
    rows.push_back({Text(table, text), verdict == "hd"});
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
  static const std::vector<RuleRow> rows = ReadRuleRows();
  return rows;
}

void PrintTo(const RuleRow& row, std::ostream* out) {
  *out << (row.becomesHd ? "hd " : "kept ");
  for (char16_t unit : row.line) {
    if (unit >= 0x20 && unit < 0x7F) {
      *out << static_cast<char>(unit);
    } else {
      const char* digits = "0123456789ABCDEF";
      *out << "\\u" << digits[unit >> 12] << digits[(unit >> 8) & 15] << digits[(unit >> 4) & 15]
           << digits[unit & 15];
    }
  }
}

}  // namespace hq2hd::testing
