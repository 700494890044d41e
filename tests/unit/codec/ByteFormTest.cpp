// Lists kept as the file's bytes must write exactly what the same lines
// decoded to text and encoded again would.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "codec/ByteForm.h"
#include "codec/TextFile.h"
#include "platform/Platform.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

using namespace std::string_literals;

struct FormCase {
  const char* name;
  std::string bytes;
  bool byteForm;
};

class ByteFormTest : public ::testing::TestWithParam<FormCase> {};

// Writes the list as loaded and as text, and gives both results.
std::pair<std::string, std::string> WriteBothWays(const std::string& bytes) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", bytes);
  LineList list;
  LoadLines(list, dir.Name("in.txt"));
  LineList text = list.DecodedCopy();
  const Encoding& encoding =
      list.DetectedEncoding() == &Utf8Encoding() ? Utf8Encoding() : AnsiEncoding();
  SaveLines(list, dir.Name("as-loaded.txt"), encoding);
  SaveLines(text, dir.Name("as-text.txt"), encoding);
  return {ReadBytes(dir.Path() / "as-loaded.txt"), ReadBytes(dir.Path() / "as-text.txt")};
}

TEST_P(ByteFormTest, KeepsBytesOnlyWhenLosslessAndWritesAsText) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", GetParam().bytes);
  LineList list;
  LoadLines(list, dir.Name("in.txt"));
  EXPECT_EQ(list.IsByteForm(), GetParam().byteForm);
  auto [asLoaded, asText] = WriteBothWays(GetParam().bytes);
  EXPECT_EQ(asLoaded, asText);
}

const FormCase formCases[] = {
    {"Ascii", "a\r\nhq\nb", true},
    {"Japanese", "\x82\xA0\x88\x9F\r\n", true},
    {"HalfWidthKana", "\xB1\xB2\r\n", true},
    // NEC-selected IBM codes share their characters with IBM codes.
    {"NecSelectedIbm", "\xED\x40\xEE\xEC\r\n", true},
    {"NecRow13", "\x87\x90\x87\x54\r\n", true},
    {"IbmExtension", "\xFA\x40\xFA\x5C\r\n", true},
    {"UserDefined", "\xF0\x40\xF9\xFC\r\n", true},
    {"Utf8", "\xEF\xBB\xBF\xC3\xA9\xF0\x9F\x98\x80\r\n", true},
    {"LoneLeadStaysText", "a\x82\r\n", false},
    {"UnmappedPairStaysText", "\xEF\x40", false},
    {"Utf16IsText", "\xFF\xFEh\0"s, false},
};

INSTANTIATE_TEST_SUITE_P(Files, ByteFormTest, ::testing::ValuesIn(formCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ByteFormRandomTest, RandomCodePage932TextWritesAsItsDecodedText) {
  std::mt19937 random(932);
  const std::vector<std::string> pieces = {
      "a",        "Z",        " ",        "\t",       "\r",       "\n",
      "\r\n",     "hq",       "HQ",       "\\",       "~",        "\x7F",
      "\xB1",     "\xDF",     "\x81\x40", "\x81\x5F", "\x81\x60", "\x82\xA0",
      "\x87\x40", "\x87\x90", "\x87\x9C", "\x88\x9F", "\x98\x72", "\xE0\x40",
      "\xEA\xA4", "\xED\x40", "\xED\x7E", "\xEE\xEF", "\xEE\xFC", "\xF0\x40",
      "\xFA\x40", "\xFA\x55", "\xFA\x5C", "\xFB\x40", "\xFC\x4B", "\x00"s};
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) bytes += pieces[random() % pieces.size()];
    auto [asLoaded, asText] = WriteBothWays(bytes);
    ASSERT_EQ(asLoaded, asText) << "round " << round;
  }
}

// The byte form decides from its own tables which bytes are valid code page
// 932 and which codes are written back as another code. Here every code is
// put to the platform: natively the POSIX tables, under Wine the Windows
// conversion itself.
std::optional<std::uint16_t> PlatformWrittenCode(const std::string& code) {
  auto& os = platform::Os();
  char16_t units[4] = {};
  const int unitCount = os.MultiByteToWideChar(932, platform::MbErrInvalidChars, code.data(),
                                               static_cast<int>(code.size()), units, 4);
  if (unitCount != 1) return std::nullopt;
  char bytes[8] = {};
  const int byteCount = os.WideCharToMultiByte(932, 0, units, 1, bytes, 8);
  if (byteCount == 1) return static_cast<unsigned char>(bytes[0]);
  if (byteCount == 2)
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                      static_cast<unsigned char>(bytes[1]));
  return 0xFFFF;  // matches no code: the test fails on it
}

TEST(ByteFormTable, EveryCodePage932CodeAsThePlatformReadsAndWritesIt) {
  int valid = 0, changed = 0;
  for (unsigned first = 0; first < 256; ++first) {
    const std::string single(1, static_cast<char>(first));
    ASSERT_EQ(Cp932WrittenCode(single), PlatformWrittenCode(single)) << "byte " << first;
    if (Cp932WrittenCode(single)) ++valid;
    for (unsigned second = 0; second < 256; ++second) {
      const std::string pair{static_cast<char>(first), static_cast<char>(second)};
      const auto written = Cp932WrittenCode(pair);
      ASSERT_EQ(written, PlatformWrittenCode(pair)) << "code " << first << " " << second;
      if (!written) continue;
      ++valid;
      if (*written != (first << 8 | second)) ++changed;
    }
  }
  // 192 single bytes and 9604 two-byte codes; the NEC-selected IBM extensions
  // and the duplicates in NEC row 13 and the IBM extensions are written as
  // their other code.
  EXPECT_EQ(valid, 192 + 9604);
  EXPECT_EQ(changed, 398);
}

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool strict;
};

class StrictUtf8Test : public ::testing::TestWithParam<Utf8Case> {};

// Our check decides whether a UTF-8 body stays bytes or is refused; it must
// say what the platform's strict decoding says.
TEST_P(StrictUtf8Test, AgreesWithThePlatform) {
  const std::string& bytes = GetParam().bytes;
  EXPECT_EQ(IsStrictUtf8(bytes), GetParam().strict);
  const int units =
      platform::Os().MultiByteToWideChar(platform::CodePageUtf8, platform::MbErrInvalidChars,
                                         bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  EXPECT_EQ(units > 0, GetParam().strict);
}

const std::string ascii20(20, 'a');

const Utf8Case utf8Cases[] = {
    {"Ascii", "hq\r\n", true},
    {"TwoBytes", "\xC3\xA9", true},
    {"ThreeBytes", "\xE3\x81\x82", true},
    {"FourBytes", "\xF0\x9F\x98\x80", true},
    {"LastOfBmp", "\xEF\xBF\xBF", true},
    {"LastCodePoint", "\xF4\x8F\xBF\xBF", true},
    {"Nul", "a\0b"s, true},
    {"OverlongTwo", "\xC0\xAF", false},
    {"OverlongC1", "\xC1\xBF", false},
    {"OverlongThree", "\xE0\x80\xAF", false},
    {"OverlongFour", "\xF0\x80\x80\xAF", false},
    {"Surrogate", "\xED\xA0\x80", false},
    {"LastSurrogate", "\xED\xBF\xBF", false},
    {"AboveLastCodePoint", "\xF4\x90\x80\x80", false},
    {"F5", "\xF5\x80\x80\x80", false},
    {"FF", "\xFF", false},
    {"LoneContinuation", "\x80", false},
    {"BadContinuation", "\xE3\x81\x41", false},
    {"CutAtEnd", "\xE3\x81", false},
    {"CutAfterLongAscii", ascii20 + "\xE3\x81", false},
    {"InvalidAfterLongAscii", ascii20 + "\x80" + ascii20, false},
    {"ValidAfterLongAscii", ascii20 + "\xE3\x81\x82" + ascii20, true},
    // Within a run of three-byte characters, which is checked a character at a time.
    {"RunOfThreeByteCharacters",
     "\xE3\x81\x82\xE6\x97\xA5\xEF\xBD\x88"
     "a",
     true},
    {"RunThenE0", "\xE3\x81\x82\xE0\xA0\x80\xE3\x81\x82", true},
    {"RunThenOverlongE0", "\xE3\x81\x82\xE0\x80\xAF\xE3\x81\x82", false},
    {"RunThenSurrogate", "\xE3\x81\x82\xED\xA0\x80\xE3\x81\x82", false},
    {"RunThenBadThirdByte", "\xE3\x81\x82\xE3\x81\x41\xE3\x81\x82", false},
    {"RunThenCut", "\xE3\x81\x82\xE3\x81\x82\xE3\x81", false},
};

INSTANTIATE_TEST_SUITE_P(Sequences, StrictUtf8Test, ::testing::ValuesIn(utf8Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// A stand-in for the program's rule, which lives above the codec.
bool IsOldLine(std::string_view line) { return line == "old"; }

struct PassCase {
  const char* name;
  std::string body;
  std::size_t pieceSize;
  std::vector<std::string> pieces;
};

class WriteByteFormTest : public ::testing::TestWithParam<PassCase> {};

TEST_P(WriteByteFormTest, WritesRuledLinesWithCrLfInBoundedPieces) {
  const ByteLineRule rule{&IsOldLine, "new"};
  std::vector<std::string> pieces;
  WriteByteForm(GetParam().body, &rule, GetParam().pieceSize,
                [&](std::string_view piece) { pieces.emplace_back(piece); });
  EXPECT_EQ(pieces, GetParam().pieces);
  std::size_t total = 0;
  for (const auto& piece : pieces) total += piece.size();
  EXPECT_EQ(ByteFormOutputSize(GetParam().body, &rule), total);
}

const PassCase passCases[] = {
    {"EmptyIsOneEmptyPiece", "", 4, {""}},
    {"CrLfLinesAsTheyAre", "ab\r\ncd\r\n", 4, {"ab\r\n", "cd\r\n"}},
    {"OtherBreaksBecomeCrLf", "a\rb\nc", 3, {"a\r\n", "b\r\n", "c\r\n"}},
    {"LfCrIsTwoBreaks", "a\n\rb", 100, {"a\r\n\r\nb\r\n"}},
    {"CrCrLf", "a\r\r\nb", 100, {"a\r\n\r\nb\r\n"}},
    {"RuleOnWholeLinesOnly",
     "old\r\nold \r\nold\nxold\r\nold",
     100,
     {"new\r\nold \r\nnew\r\nxold\r\nnew\r\n"}},
    {"LineAcrossPieces",
     std::string(40, 'x') + "\r\n",
     16,
     {std::string(16, 'x'), std::string(16, 'x'), std::string(8, 'x') + "\r\n"}},
    {"ExactPiecesLeaveNoEmptyOne", "abc\r\nabc\r\n", 5, {"abc\r\n", "abc\r\n"}},
    {"NulIsOrdinary", "a\0b\r\n"s, 100, {"a\0b\r\n"s}},
};

INSTANTIATE_TEST_SUITE_P(Bodies, WriteByteFormTest, ::testing::ValuesIn(passCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
