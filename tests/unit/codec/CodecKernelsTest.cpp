// Every set of kernels the processor has, on the same inputs: each must
// answer as the platform does and as the others do.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codec/CodecKernels.h"
#include "platform/Platform.h"

namespace hq2hd::testing {
namespace {

using namespace std::string_literals;

const CodecKernels& PortableKernels() { return *SupportedKernels().front(); }

// Runs `check` with each set of kernels.
template <class Check>
void WithEachSet(Check check) {
  for (const CodecKernels* kernels : SupportedKernels()) {
    SCOPED_TRACE(kernels->name);
    check(*kernels);
  }
}

// The kernels decide from their own tables which bytes are valid code page
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

// The code that the kernels' check and rewrite give for the one or two bytes
// of `code`; none when the check refuses it or the bytes are not one code.
std::optional<std::uint16_t> KernelWrittenCode(const CodecKernels& kernels, std::string code) {
  const char* const begin = code.data();
  // A lead byte alone, with more to come, waits for its trail.
  const bool oneCode = code.size() == 1 || kernels.scanCp932(begin, begin + 1, false).complete == 0;
  const Cp932Scan scan = kernels.scanCp932(begin, begin + code.size(), true);
  if (!oneCode || scan.fit == Cp932Fit::Invalid) return std::nullopt;
  // The search for codes written as another finds exactly those.
  EXPECT_EQ(kernels.findCp932Changes(begin, begin + code.size(), true).fit, scan.fit);
  kernels.rewriteCp932Codes(code.data(), code.data() + code.size());
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(code[k]); };
  return static_cast<std::uint16_t>(code.size() == 1 ? byte(0) : byte(0) << 8 | byte(1));
}

TEST(Cp932TableTest, EveryCodePage932CodeAsThePlatformReadsAndWritesIt) {
  WithEachSet([](const CodecKernels& kernels) {
    int valid = 0, changed = 0;
    for (unsigned first = 0; first < 256; ++first) {
      const std::string single(1, static_cast<char>(first));
      ASSERT_EQ(KernelWrittenCode(kernels, single), PlatformWrittenCode(single))
          << "byte " << first;
      if (KernelWrittenCode(kernels, single)) ++valid;
      for (unsigned second = 0; second < 256; ++second) {
        const std::string pair{static_cast<char>(first), static_cast<char>(second)};
        const auto written = KernelWrittenCode(kernels, pair);
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
  });
}

// The whole of `bytes` as the platform reads it strictly and writes it back.
Cp932Fit PlatformFit(const std::string& bytes) {
  auto& os = platform::Os();
  const int size = static_cast<int>(bytes.size());
  std::u16string units(bytes.size(), u'\0');
  const int unitCount = os.MultiByteToWideChar(932, platform::MbErrInvalidChars, bytes.data(), size,
                                               units.data(), size);
  if (unitCount <= 0) return Cp932Fit::Invalid;
  std::string written(bytes.size() + 2, '\0');
  const int byteCount =
      os.WideCharToMultiByte(932, 0, units.data(), unitCount, written.data(), size + 2);
  written.resize(static_cast<std::size_t>(std::max(byteCount, 0)));
  return written == bytes ? Cp932Fit::AsItIs : Cp932Fit::AfterRewrite;
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

// The pass's step over lines for bytes or for UTF-16 units.
const char* SkipPlain(const CodecKernels& kernels, const char* at, const char* end) {
  return kernels.skipPlainLines(at, end, 'h', 'q');
}
const char16_t* SkipPlain(const CodecKernels& kernels, const char16_t* at, const char16_t* end) {
  return kernels.skipPlainUnits(at, end, 'h', 'q');
}
const char* FindBreak(const CodecKernels& kernels, const char* at, const char* end) {
  return kernels.findLineBreak(at, end);
}
const char16_t* FindBreak(const CodecKernels& kernels, const char16_t* at, const char16_t* end) {
  return kernels.findUnitBreak(at, end);
}

// Where the pass over `text` stops to look at a line itself.
template <class Unit>
std::vector<std::size_t> PlainLineStops(const CodecKernels& kernels,
                                        const std::basic_string<Unit>& text) {
  std::vector<std::size_t> stops;
  const Unit* const begin = text.data();
  const Unit* const end = begin + text.size();
  for (const Unit* at = begin; at < end;) {
    const Unit* const stop = SkipPlain(kernels, at, end);
    // Every line stepped over ends in CR LF and is not hq.
    for (const Unit* line = at; line < stop;) {
      const Unit* lineEnd = FindBreak(kernels, line, stop);
      std::basic_string_view<Unit> trimmed(line, static_cast<std::size_t>(lineEnd - line));
      const auto blank = [](Unit unit) { return static_cast<std::uint32_t>(unit) <= 0x20; };
      while (!trimmed.empty() && blank(trimmed.front())) trimmed.remove_prefix(1);
      while (!trimmed.empty() && blank(trimmed.back())) trimmed.remove_suffix(1);
      EXPECT_FALSE(trimmed.size() == 2 && (trimmed[0] | 0x20) == 'h' && (trimmed[1] | 0x20) == 'q')
          << "stepped over hq at " << line - begin;
      EXPECT_TRUE(stop - lineEnd >= 2 && lineEnd[0] == '\r' && lineEnd[1] == '\n')
          << "stepped over a break at " << lineEnd - begin;
      line = lineEnd + 2;
    }
    stops.push_back(static_cast<std::size_t>(stop - begin));
    at = FindBreak(kernels, stop, end);
    if (at < end && *at == '\r') ++at;
    if (at < end && *at == '\n') ++at;
  }
  return stops;
}

// The bytes as UTF-16 units that stop the pass where the bytes do: ASCII as
// it is, each other byte as a unit above 7F whose low byte is the byte's
// own less 80 (a line break, a blank or a letter for some), from 100 or
// from the byte times 100 (taken as negative by signed instructions).
std::u16string AsUnits(const std::string& bytes) {
  std::u16string units;
  for (const char byte : bytes) {
    const unsigned value = static_cast<unsigned char>(byte);
    const unsigned low = value & 0x7F;
    units += static_cast<char16_t>(value < 0x80  ? value
                                   : (value & 1) ? value << 8 | low
                                                 : 0x100 | low);
  }
  return units;
}

#if defined(__x86_64__) || defined(__i386__)
// The sets offered are those the processor has, as the compiler's own check
// of the processor sees it, and a run uses the widest of them.
TEST(KernelChoiceTest, TheSetsOfTheProcessorTheWidestActive) {
  __builtin_cpu_init();
  std::vector<std::string> expected = {"portable", "sse2"};
  if (__builtin_cpu_supports("avx2")) expected.push_back("avx2");
  std::vector<std::string> offered;
  for (const CodecKernels* kernels : SupportedKernels()) offered.push_back(kernels->name);
  EXPECT_EQ(offered, expected);
  EXPECT_EQ(ActiveKernels().name, expected.back());
}
#endif

// The code page 932 check and the plain lines take 64 bytes at a time, with
// 16 or 32 to an instruction, or one by one. On long random text every set
// reads what the platform reads and stops at the same lines.
TEST(KernelBlocksTest, EverySetAgreesWithThePlatformOnLongText) {
  std::mt19937 random(64);
  const std::vector<std::string> common = {
      "a",        "x",        " ",        "\t",       "\r\n",     "\r\n",     "\r\n",
      "hq",       "HQ",       " hQ\t",    "h",        "q",        "\xB1",     "\x80",
      "\x81\x40", "\x81\xAC", "\x81\xFC", "\x82\x9F", "\x82\xF1", "\x83\x40", "\x83\x96",
      "\x84\x40", "\x87\x40", "\x88\x9F", "\x89\x40", "\x89\xFC", "\x98\x9F", "\x9F\x68",
      "\xE0\x71", "\xEA\xA4", "\xF0\x40", "\xFB\xFC", "\xFC\x4B"};
  // Each breaks the text, or turns it into other codes.
  const std::vector<std::string> rare = {
      "\r",       "\n",       "\n\r",     "\x87\x90", "\xED\x40", "\xFA\x40", "\x81\x7F",
      "\x82\x40", "\x83\x97", "\x89\x7F", "\x89\xFD", "\x89\x3F", "\x85\x40", "\xA0",
      "\xFD",     "\xEB\x40", "\x81",     "\x87\x9C", "\xFA\x4A", "\xFA\x5B"};
  // A line of each length before each kind of line that stops the pass, so
  // that each falls on every byte of a block.
  for (const std::string stop : {"hq\r\n", " Hq\t\r\n", "a\rb\r\n", "a\nb\r\n", "h\r\nq\r\n"}) {
    std::string bytes;
    for (std::size_t length = 0; length < 140; ++length)
      bytes += std::string(length, 'x') + "\r\n" + stop;
    const std::vector<std::size_t> stops = PlainLineStops(PortableKernels(), bytes);
    WithEachSet([&](const CodecKernels& kernels) {
      EXPECT_EQ(PlainLineStops(kernels, bytes), stops) << "before " << stop;
      EXPECT_EQ(PlainLineStops(kernels, AsUnits(bytes)), stops) << "units before " << stop;
    });
  }
  // After runs of 亜 (88 9F, each byte of which may lead), at every place in
  // the blocks: a code written as another (87 90), and the same two bytes as
  // a trail and the next lead (89 87, 90 40), which must stay as they are.
  for (const std::string tail : {"\x87\x90", "\x89\x87\x90\x40"}) {
    for (std::size_t length = 0; length < 70; ++length) {
      for (int run = 0; run < 40; ++run) {
        std::string bytes(length, 'x');
        for (int k = 0; k < run; ++k) bytes += "\x88\x9F";
        bytes += tail + "\x88\x9F\x88\x9F";
        const char* const begin = bytes.data();
        const char* const end = begin + bytes.size();
        const Cp932Scan whole = PortableKernels().scanCp932(begin, end, false);
        WithEachSet([&](const CodecKernels& kernels) {
          const Cp932Scan found = kernels.findCp932Changes(begin, end, false);
          EXPECT_EQ(found.fit, whole.fit) << length << " bytes, " << run << " times 亜";
          EXPECT_EQ(found.complete, whole.complete) << length << " bytes, " << run << " times 亜";
        });
      }
    }
  }
  for (int round = 0; round < 400; ++round) {
    const std::string bytes =
        RandomText(random, 20 + static_cast<int>(random() % 200), common, rare, 100);
    const Cp932Fit expected = PlatformFit(bytes);
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    const Cp932Scan portable = PortableKernels().scanCp932(begin, end, false);
    const Cp932Scan search = PortableKernels().findCp932Changes(begin, end, false);
    // Where the bytes are valid, the search answers as the whole check does.
    if (portable.fit != Cp932Fit::Invalid) {
      EXPECT_EQ(search.fit, portable.fit) << "round " << round;
      EXPECT_EQ(search.complete, portable.complete) << "round " << round;
    }
    const std::vector<std::size_t> stops = PlainLineStops(PortableKernels(), bytes);
    WithEachSet([&](const CodecKernels& kernels) {
      EXPECT_EQ(kernels.scanCp932(begin, end, true).fit, expected) << "round " << round;
      const Cp932Scan scan = kernels.scanCp932(begin, end, false);
      EXPECT_EQ(scan.fit, portable.fit) << "round " << round;
      EXPECT_EQ(scan.complete, portable.complete) << "round " << round;
      const Cp932Scan found = kernels.findCp932Changes(begin, end, false);
      EXPECT_EQ(found.fit, search.fit) << "round " << round;
      EXPECT_EQ(found.complete, search.complete) << "round " << round;
      EXPECT_EQ(PlainLineStops(kernels, bytes), stops) << "round " << round;
      EXPECT_EQ(PlainLineStops(kernels, AsUnits(bytes)), stops) << "units, round " << round;
    });
  }
}

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool strict;
};

class StrictUtf8Test : public ::testing::TestWithParam<Utf8Case> {};

const std::string ascii20(20, 'a');
std::string ascii(std::size_t count) { return std::string(count, 'a'); }

// Our check decides whether a UTF-8 body stays bytes or is refused; it must
// say what the platform's strict decoding says.
TEST_P(StrictUtf8Test, AgreesWithThePlatform) {
  const std::string& bytes = GetParam().bytes;
  const int units =
      platform::Os().MultiByteToWideChar(platform::CodePageUtf8, platform::MbErrInvalidChars,
                                         bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  EXPECT_EQ(units > 0, GetParam().strict);
  // ASCII around the bytes leaves the answer as it is, wherever in the blocks
  // of 64 bytes they fall, and whatever the block before or after holds.
  for (std::size_t before = 0; before <= 130; ++before) {
    const std::string placed = ascii(before) + bytes + ascii(70);
    WithEachSet([&](const CodecKernels& kernels) {
      EXPECT_EQ(kernels.isStrictUtf8(placed.data(), placed.data() + placed.size()),
                GetParam().strict)
          << "after " << before << " bytes of ASCII";
    });
  }
}

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
    WithEachSet([&](const CodecKernels& kernels) {
      EXPECT_EQ(kernels.isStrictUtf8(bytes.data(), bytes.data() + bytes.size()), units > 0)
          << "round " << round;
    });
    refused += units > 0 ? 0 : 1;
  }
  // Both kinds of text were tried.
  EXPECT_GT(refused, 50);
  EXPECT_LT(refused, 350);
}

INSTANTIATE_TEST_SUITE_P(Sequences, StrictUtf8Test, ::testing::ValuesIn(utf8Cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
