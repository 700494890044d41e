// Code page 932 of the POSIX backend: known codes as Windows converts them,
// and our own choices for invalid bytes. The whole table is compared with
// Windows by the cp932_tables_agree test of the Windows builds.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/Cp932.h"

namespace hq2hd::platform::posix {
namespace {

constexpr std::uint32_t Lenient = 0;
constexpr std::uint32_t Strict = MbErrInvalidChars;
constexpr std::uint32_t NoError = 0;

struct DecodeCase {
  const char* label;
  std::uint32_t flags;
  std::string bytes;
  Text expectedUnits;           // empty: the call fails
  std::uint32_t expectedError;  // when it fails
};

class Cp932Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Cp932Decode, GivesTheUnitsOfWindows) {
  const DecodeCase& c = GetParam();
  const int count = static_cast<int>(c.bytes.size());
  std::uint32_t error = NoError;
  Text units(c.bytes.size() + 4, u'\xFFFF');
  const int measured = DecodeCp932(c.flags, c.bytes.data(), count, nullptr, 0, error);
  const int converted = DecodeCp932(c.flags, c.bytes.data(), count, units.data(),
                                    static_cast<int>(units.size()), error);
  EXPECT_EQ(measured, static_cast<int>(c.expectedUnits.size()));
  EXPECT_EQ(converted, static_cast<int>(c.expectedUnits.size()));
  EXPECT_EQ(units.substr(0, converted > 0 ? converted : 0), c.expectedUnits);
  EXPECT_EQ(error, c.expectedError);
}

INSTANTIATE_TEST_SUITE_P(
    Posix, Cp932Decode,
    testing::Values(
        DecodeCase{"Hiragana", Strict, "\x82\xA0", u"\u3042", NoError},
        DecodeCase{"BackslashStaysBackslash", Strict, "\x5C", u"\\", NoError},
        DecodeCase{"TildeStaysTilde", Strict, "~", u"~", NoError},
        DecodeCase{"WaveDashIsFullWidthTilde", Strict, "\x81\x60", u"\uFF5E", NoError},
        DecodeCase{"HalfWidthKatakana", Strict, "\xA1\xDF", u"\uFF61\uFF9F", NoError},
        DecodeCase{"Byte80", Strict, "\x80", u"\u0080", NoError},
        DecodeCase{"ZeroByte", Strict, std::string("a\0b", 3), Text(u"a\0b", 3), NoError},
        DecodeCase{"UserDefinedArea", Strict, "\xF0\x40\xF9\xFC", u"\uE000\uE757", NoError},
        DecodeCase{"NecAndIbmRomanOne", Strict, "\x87\x54\xFA\x4A", u"\u2160\u2160", NoError},
        DecodeCase{"NecSelectedAndIbmSmallRomanOne", Strict, "\xEE\xEF\xFA\x40", u"\u2170\u2170",
                   NoError},
        DecodeCase{"NecAndIbmNumero", Strict, "\x87\x82\xFA\x59", u"\u2116\u2116", NoError},
        DecodeCase{"NecSelectedAndIbmKanji", Strict, "\xED\x40\xFA\x5C", u"\u7E8A\u7E8A", NoError},
        DecodeCase{"NotSignThreeWays", Strict, "\x81\xCA\xEE\xF9\xFA\x54", u"\uFFE2\uFFE2\uFFE2",
                   NoError},
        DecodeCase{"A0Lenient", Lenient, "\xA0", u"\uF8F0", NoError},
        DecodeCase{"FDtoFFLenient", Lenient, "\xFD\xFE\xFF", u"\uF8F1\uF8F2\uF8F3", NoError},
        DecodeCase{"A0Strict", Strict, "a\xA0", u"", error::NoUnicodeTranslation},
        DecodeCase{"FFStrict", Strict, "\xFF", u"", error::NoUnicodeTranslation},
        DecodeCase{"UnmappedPairLenientIsOneUnit", Lenient, "\x85\x40z", u"\u30FBz", NoError},
        DecodeCase{"UnmappedPairStrict", Strict, "\x85\x40", u"", error::NoUnicodeTranslation},
        DecodeCase{"LeadBeforeCrLfKeepsTheBreak", Lenient, "\x82\r\n", u"\u30FB\r\n", NoError},
        DecodeCase{"LeadBeforeLf", Lenient, "\x82\n", u"\u30FB\n", NoError},
        DecodeCase{"LeadBefore7FKeeps7F", Lenient, "\x82\x7F", u"\u30FB\u007F", NoError},
        DecodeCase{"LeadBeforeSpace", Lenient, "\x82 \x82\xA0", u"\u30FB \u3042", NoError},
        DecodeCase{"LeadBeforeFD", Lenient, "\x82\xFD", u"\u30FB\uF8F1", NoError},
        DecodeCase{"LeadAtTheEnd", Lenient, "a\x82", u"a\u30FB", NoError},
        DecodeCase{"LeadAtTheEndStrict", Strict, "a\x82", u"", error::NoUnicodeTranslation},
        DecodeCase{"LeadBeforeLfStrict", Strict, "\x82\n", u"", error::NoUnicodeTranslation}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.label; });

struct EncodeCase {
  const char* label;
  Text units;
  std::string expectedBytes;
};

class Cp932Encode : public testing::TestWithParam<EncodeCase> {};

TEST_P(Cp932Encode, GivesTheBytesOfWindows) {
  const EncodeCase& c = GetParam();
  const int count = static_cast<int>(c.units.size());
  std::uint32_t error = NoError;
  std::string bytes(c.units.size() * 2 + 4, '\xEE');
  const int measured = EncodeCp932(c.units.data(), count, nullptr, 0, error);
  const int converted =
      EncodeCp932(c.units.data(), count, bytes.data(), static_cast<int>(bytes.size()), error);
  EXPECT_EQ(measured, static_cast<int>(c.expectedBytes.size()));
  ASSERT_EQ(converted, static_cast<int>(c.expectedBytes.size()));
  EXPECT_EQ(bytes.substr(0, converted), c.expectedBytes);
  EXPECT_EQ(error, NoError);
}

INSTANTIATE_TEST_SUITE_P(
    Posix, Cp932Encode,
    testing::Values(EncodeCase{"Hiragana", u"\u3042", "\x82\xA0"},
                    EncodeCase{"Ascii", u"hd\r\n", "hd\r\n"},
                    EncodeCase{"FullWidthTilde", u"\uFF5E", "\x81\x60"},
                    EncodeCase{"RomanOnePrefersNec", u"\u2160", "\x87\x54"},
                    EncodeCase{"SmallRomanOnePrefersIbm", u"\u2170", "\xFA\x40"},
                    EncodeCase{"NotSignPrefersJis", u"\uFFE2", "\x81\xCA"},
                    EncodeCase{"KanjiPrefersIbm", u"\u7E8A", "\xFA\x5C"},
                    EncodeCase{"YenBestFitsToBackslash", u"\u00A5", "\x5C"},
                    EncodeCase{"PrivateUseToA0", u"\uF8F0\uF8F3", "\xA0\xFF"},
                    EncodeCase{"HalfWidthKatakana", u"\uFF61", "\xA1"},
                    EncodeCase{"ThaiIsUnmappable", u"\u0E01", "?"},
                    EncodeCase{"EmDashIsUnmappable", u"\u2014", "?"},
                    EncodeCase{"SurrogatePairUnitByUnit", u"\U0001F600", "??"},
                    EncodeCase{"LoneSurrogate", Text(1, u'\xDC80'), "?"},
                    EncodeCase{"RealQuestionMark", u"?", "?"},
                    EncodeCase{"MixedEndingInOneByte", u"a\u3042\u0E01\uFF61b",
                               "a\x82\xA0?\xA1"
                               "b"},
                    EncodeCase{"MixedEndingInTwoBytes", u"\u3042a\u2014\u3044",
                               "\x82\xA0"
                               "a?\x82\xA2"}),
    [](const testing::TestParamInfo<EncodeCase>& info) { return info.param.label; });

struct BufferCase {
  const char* label;
  bool encode;
  int count;
  int capacity;
  int expectedResult;
  std::uint32_t expectedError;
};

class Cp932Buffers : public testing::TestWithParam<BufferCase> {};

// Both directions take "a" + U+3042 / 61 82 A0: 2 units, 3 bytes.
TEST_P(Cp932Buffers, FollowTheWindowsRules) {
  const BufferCase& c = GetParam();
  std::uint32_t error = NoError;
  char16_t units[8] = {};
  char bytes[8] = {};
  const int result = c.encode
                         ? EncodeCp932(u"a\u3042", c.count, bytes, c.capacity, error)
                         : DecodeCp932(Lenient, "a\x82\xA0", c.count, units, c.capacity, error);
  EXPECT_EQ(result, c.expectedResult);
  EXPECT_EQ(error, c.expectedError);
  if (c.encode && c.capacity > 0 && result > 0) {
    EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(result)), std::string("a\x82\xA0", 3));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Posix, Cp932Buffers,
    testing::Values(BufferCase{"DecodeExact", false, 3, 2, 2, NoError},
                    BufferCase{"DecodeZeroCapacityMeasures", false, 3, 0, 2, NoError},
                    BufferCase{"DecodeTooSmall", false, 3, 1, 0, error::InsufficientBuffer},
                    BufferCase{"DecodeNothing", false, 0, 8, 0, error::InvalidParameter},
                    BufferCase{"EncodeExact", true, 2, 3, 3, NoError},
                    BufferCase{"EncodeZeroCapacityMeasures", true, 2, 0, 3, NoError},
                    BufferCase{"EncodeTooSmall", true, 2, 2, 0, error::InsufficientBuffer},
                    BufferCase{"EncodeNothing", true, 0, 8, 0, error::InvalidParameter}),
    [](const testing::TestParamInfo<BufferCase>& info) { return info.param.label; });

TEST(Cp932, StrictInvalidityWinsOverASmallBuffer) {
  std::uint32_t error = NoError;
  char16_t units[1] = {};
  EXPECT_EQ(DecodeCp932(Strict, "ab\xFF", 3, units, 1, error), 0);
  EXPECT_EQ(error, error::NoUnicodeTranslation);
}

TEST(Cp932, LeadBytesAreThoseOfWindows) {
  for (int byte = 0; byte < 256; ++byte) {
    const bool expected = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    EXPECT_EQ(IsCp932LeadByte(static_cast<unsigned char>(byte)), expected) << byte;
  }
}

// Every code the strict decode accepts encodes back to a code of the same unit
// (duplicates may come back as the preferred one).
TEST(Cp932, EveryValidCodeSurvivesEncodeAndDecode) {
  int valid = 0;
  for (int first = 0; first < 256; ++first) {
    for (int second = -1; second < 256; ++second) {
      if ((second < 0) == IsCp932LeadByte(static_cast<unsigned char>(first))) continue;
      const std::string code =
          second < 0 ? std::string(1, static_cast<char>(first))
                     : std::string{static_cast<char>(first), static_cast<char>(second)};
      std::uint32_t error = NoError;
      char16_t unit = 0;
      if (DecodeCp932(Strict, code.data(), static_cast<int>(code.size()), &unit, 1, error) != 1)
        continue;
      ++valid;
      char bytes[2] = {};
      const int length = EncodeCp932(&unit, 1, bytes, 2, error);
      char16_t again = 0;
      ASSERT_EQ(DecodeCp932(Strict, bytes, length, &again, 1, error), 1) << first << ' ' << second;
      EXPECT_EQ(again, unit) << first << ' ' << second;
    }
  }
  // The single bytes 00-80 and A1-DF, and the pairs Windows maps.
  EXPECT_GT(valid, 9000);
}

}  // namespace
}  // namespace hq2hd::platform::posix

#endif  // _WIN32
