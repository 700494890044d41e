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

// The whole of `bytes` as the platform reads it strictly and writes it back.
ByteFormFit PlatformFit(const std::string& bytes) {
  auto& os = platform::Os();
  const int size = static_cast<int>(bytes.size());
  std::u16string units(bytes.size(), u'\0');
  const int unitCount = os.MultiByteToWideChar(932, platform::MbErrInvalidChars, bytes.data(), size,
                                               units.data(), size);
  if (unitCount <= 0) return ByteFormFit::No;
  std::string written(bytes.size() + 2, '\0');
  const int byteCount =
      os.WideCharToMultiByte(932, 0, units.data(), unitCount, written.data(), size + 2);
  written.resize(static_cast<std::size_t>(std::max(byteCount, 0)));
  return written == bytes ? ByteFormFit::AsItIs : ByteFormFit::AfterCp932Rewrite;
}

// Runs `check` with blocks of 16 bytes and, where the processor has AVX2,
// of 32; the 32 stay in use afterwards, as they would be.
template <class Check>
void AtBothWidths(Check check) {
  for (const bool wide : {false, true}) {
    if (wide && !WideBlocksAvailable()) continue;
    UseWideBlocks(wide);
    check(wide);
  }
}

// `count` random pieces, one in `rareOdds` of them from `rare`.
std::string RandomText(std::mt19937& random, int count, const std::vector<std::string>& common,
                       const std::vector<std::string>& rare, unsigned rareOdds) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text +=
        random() % rareOdds == 0 ? rare[random() % rare.size()] : common[random() % common.size()];
  return text;
}

// Where the pass over `bytes` stops to look at a line itself.
std::vector<std::size_t> PlainLineStops(const std::string& bytes) {
  std::vector<std::size_t> stops;
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  for (const char* at = begin; at < end;) {
    const char* const stop = SkipPlainLines(at, end, 'h', 'q');
    // Every line stepped over ends in CR LF and is not hq.
    for (const char* line = at; line < stop;) {
      const char* lineEnd = FindLineBreak(line, stop);
      std::string_view text(line, static_cast<std::size_t>(lineEnd - line));
      while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20)
        text.remove_prefix(1);
      while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20)
        text.remove_suffix(1);
      EXPECT_FALSE(text.size() == 2 && (text[0] | 0x20) == 'h' && (text[1] | 0x20) == 'q')
          << "stepped over hq at " << line - begin;
      EXPECT_TRUE(stop - lineEnd >= 2 && lineEnd[0] == '\r' && lineEnd[1] == '\n')
          << "stepped over a break at " << lineEnd - begin;
      line = lineEnd + 2;
    }
    stops.push_back(static_cast<std::size_t>(stop - begin));
    at = FindLineBreak(stop, end);
    if (at < end && *at == '\r') ++at;
    if (at < end && *at == '\n') ++at;
  }
  return stops;
}

// The code page 932 check and the plain lines take 64 bytes at a time, with
// 16 or, where the processor has AVX2, 32 to an instruction. On long random
// text both read what the platform reads and stop at the same lines.
TEST(ByteBlocksTest, BothWidthsAgreeWithThePlatformOnLongText) {
  std::mt19937 random(64);
  const std::vector<std::string> common = {
      "a",        "x",        " ",        "\t",       "\r\n",     "\r\n",     "\r\n",
      "hq",       "HQ",       " hQ\t",    "h",        "q",        "\xB1",     "\x80",
      "\x81\x40", "\x81\xAC", "\x81\xFC", "\x82\x9F", "\x82\xF1", "\x83\x40", "\x83\x96",
      "\x84\x40", "\x87\x40", "\x88\x9F", "\x89\x40", "\x89\xFC", "\x98\x9F", "\x9F\x68",
      "\xE0\x71", "\xEA\xA4", "\xF0\x40", "\xFB\xFC", "\xFC\x4B"};
  // Each breaks the text, or turns it into other codes.
  const std::vector<std::string> rare = {"\r",       "\n",       "\n\r",     "\x87\x90", "\xED\x40",
                                         "\xFA\x40", "\x81\x7F", "\x82\x40", "\x83\x97", "\x89\x7F",
                                         "\x89\xFD", "\x89\x3F", "\x85\x40", "\xA0",     "\xFD",
                                         "\xEB\x40", "\x81"};
  // A line of each length before each kind of line that stops the pass, so
  // that each falls on every byte of a block.
  for (const std::string stop : {"hq\r\n", " Hq\t\r\n", "a\rb\r\n", "a\nb\r\n", "h\r\nq\r\n"}) {
    std::string bytes;
    for (std::size_t length = 0; length < 140; ++length)
      bytes += std::string(length, 'x') + "\r\n" + stop;
    UseWideBlocks(false);
    const std::vector<std::size_t> narrowStops = PlainLineStops(bytes);
    AtBothWidths([&](bool) { EXPECT_EQ(PlainLineStops(bytes), narrowStops) << "before " << stop; });
  }
  for (int round = 0; round < 400; ++round) {
    const std::string bytes =
        RandomText(random, 20 + static_cast<int>(random() % 200), common, rare, 100);
    const ByteFormFit expected = PlatformFit(bytes);
    UseWideBlocks(false);
    const Cp932Scan narrow = ScanCp932(bytes, false);
    const std::vector<std::size_t> narrowStops = PlainLineStops(bytes);
    AtBothWidths([&](bool wide) {
      EXPECT_EQ(ScanCp932(bytes, true).fit, expected) << "round " << round << " wide " << wide;
      const Cp932Scan scan = ScanCp932(bytes, false);
      EXPECT_EQ(scan.fit, narrow.fit) << "round " << round;
      EXPECT_EQ(scan.complete, narrow.complete) << "round " << round;
      EXPECT_EQ(PlainLineStops(bytes), narrowStops) << "round " << round;
    });
  }
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
  AtBothWidths(
      [&](bool wide) { EXPECT_EQ(IsStrictUtf8(bytes), GetParam().strict) << "wide " << wide; });
  const int units =
      platform::Os().MultiByteToWideChar(platform::CodePageUtf8, platform::MbErrInvalidChars,
                                         bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  EXPECT_EQ(units > 0, GetParam().strict);
}

const std::string ascii20(20, 'a');
std::string ascii(std::size_t count) { return std::string(count, 'a'); }

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
    // Checked 64 bytes at a time: sequences across and at the end of those.
    {"SequenceAcrossBlocks", ascii(62) + "\xE3\x81\x82" + ascii(70), true},
    {"FourBytesAcrossBlocks", ascii(61) + "\xF0\x9F\x98\x80" + ascii(70), true},
    {"SurrogateAcrossBlocks", ascii(63) + "\xED\xA0\x80" + ascii(70), false},
    {"LeadAtBlockEndThenAscii", ascii(63) + "\xC3" + ascii(64), false},
    {"CutAtEndOfBlocks", ascii(61) + "\xF0\x9F\x98", false},
    {"OverlongInLaterBlock", ascii(150) + "\xC0\xAF" + ascii(50), false},
    {"ContinuationAfterAsciiBlock", ascii(64) + "\x80" + ascii(64), false},
};

// Long random text, with a rare piece that is not UTF-8 falling anywhere in
// the blocks of 64 bytes that the check takes.
TEST(StrictUtf8RandomTest, LongTextAgreesWithThePlatform) {
  std::mt19937 random(8);
  const std::vector<std::string> valid = {"a",
                                          " ",
                                          "\r\n",
                                          ascii(64),
                                          "\xC3\xA9",
                                          "\xE3\x81\x82",
                                          "\xE6\x97\xA5",
                                          "\xE0\xA0\x80",
                                          "\xED\x9F\xBF",
                                          "\xF0\x9F\x98\x80",
                                          "\xF4\x8F\xBF\xBF"};
  const std::vector<std::string> invalid = {
      "\x80",         "\xC3",         "\xE3\x81",         "\xC0\xAF",
      "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
      "\xF5\x80",     "\xFF"};
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    const std::string bytes =
        RandomText(random, 20 + static_cast<int>(random() % 120), valid, invalid, 150);
    const int units = platform::Os().MultiByteToWideChar(
        platform::CodePageUtf8, platform::MbErrInvalidChars, bytes.data(),
        static_cast<int>(bytes.size()), nullptr, 0);
    AtBothWidths([&](bool wide) {
      EXPECT_EQ(IsStrictUtf8(bytes), units > 0) << "round " << round << " wide " << wide;
    });
    refused += units > 0 ? 0 : 1;
  }
  // Both kinds of text were tried.
  EXPECT_GT(refused, 50);
  EXPECT_LT(refused, 350);
}

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
