#ifndef _WIN32
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace hq2hd::platform {
namespace {

struct DecodeCase {
  std::string bytes;
  std::uint32_t flags;
  std::u16string expected;  // empty: the call fails with 1113
};

class Utf8Decoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8Decoding, MeasuresThenConverts) {
  Platform& os = NativePlatform();
  const DecodeCase& c = GetParam();
  const int count = static_cast<int>(c.bytes.size());
  os.SetLastError(0);
  const int needed =
      os.MultiByteToWideChar(CodePageUtf8, c.flags, c.bytes.data(), count, nullptr, 0);
  if (c.expected.empty()) {
    EXPECT_EQ(needed, 0);
    EXPECT_EQ(os.LastError(), error::NoUnicodeTranslation);
    return;
  }
  ASSERT_EQ(needed, static_cast<int>(c.expected.size()));
  std::u16string units(static_cast<std::size_t>(needed), u'\0');
  EXPECT_EQ(
      os.MultiByteToWideChar(CodePageUtf8, c.flags, c.bytes.data(), count, units.data(), needed),
      needed);
  EXPECT_EQ(units, c.expected);
}

constexpr std::uint32_t kStrict = MbErrInvalidChars;

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Decoding,
    testing::Values(
        DecodeCase{"hq\r\n", kStrict, u"hq\r\n"},
        DecodeCase{std::string("a\0b", 3), kStrict, std::u16string(u"a\0b", 3)},
        DecodeCase{"\xC3\xA9", kStrict, u"\u00E9"}, DecodeCase{"\xE3\x81\x82", kStrict, u"\u3042"},
        DecodeCase{"\xEF\xBB\xBF", kStrict, u"\uFEFF"},
        DecodeCase{"\xF0\x9F\x98\x80", kStrict, u"\xD83D\xDE00"},
        // Strict: any invalid sequence fails the whole call.
        DecodeCase{"ok\x80", kStrict, u""}, DecodeCase{"\xC0\xAF", kStrict, u""},
        DecodeCase{"\xED\xA0\x80", kStrict, u""}, DecodeCase{"\xF4\x90\x80\x80", kStrict, u""},
        DecodeCase{"\xE3\x81", kStrict, u""},
        // Lenient: each invalid byte becomes U+FFFD.
        DecodeCase{"ok\x80", 0, u"ok\uFFFD"}, DecodeCase{"\xC0\xAF", 0, u"\uFFFD\uFFFD"},
        DecodeCase{"\xED\xA0\x80", 0, u"\uFFFD\uFFFD\uFFFD"},
        DecodeCase{"\xE3\x81"
                   "A",
                   0, u"\uFFFD\uFFFDA"},
        DecodeCase{"\xFF\xC3\xA9", 0, u"\uFFFD\u00E9"}));

struct EncodeCase {
  std::u16string units;
  std::string expected;
};

class Utf8Encoding : public testing::TestWithParam<EncodeCase> {};

TEST_P(Utf8Encoding, MeasuresThenConverts) {
  Platform& os = NativePlatform();
  const EncodeCase& c = GetParam();
  const int count = static_cast<int>(c.units.size());
  const int needed = os.WideCharToMultiByte(CodePageUtf8, 0, c.units.data(), count, nullptr, 0);
  ASSERT_EQ(needed, static_cast<int>(c.expected.size()));
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  EXPECT_EQ(os.WideCharToMultiByte(CodePageUtf8, 0, c.units.data(), count, bytes.data(), needed),
            needed);
  EXPECT_EQ(bytes, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8Encoding,
                         testing::Values(EncodeCase{u"hd\r\n", "hd\r\n"},
                                         EncodeCase{u"\u00E9", "\xC3\xA9"},
                                         EncodeCase{u"\u3042", "\xE3\x81\x82"},
                                         EncodeCase{u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
                                         // Lone surrogates come out as U+FFFD.
                                         EncodeCase{u"a\xD800", "a\xEF\xBF\xBD"},
                                         EncodeCase{u"\xDC80z", "\xEF\xBF\xBDz"},
                                         EncodeCase{u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"}));

struct FailureCase {
  const char* what;
  std::uint32_t codePage;
  int count;
  int capacity;
  std::uint32_t error;
};

class ConversionFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ConversionFailure, ReturnsZeroWithTheCode) {
  Platform& os = NativePlatform();
  const FailureCase& c = GetParam();
  const char bytes[] = "\xE3\x81\x82xyz";
  char16_t units[8] = {};
  os.SetLastError(0);
  EXPECT_EQ(os.MultiByteToWideChar(c.codePage, 0, bytes, c.count, units, c.capacity), 0);
  EXPECT_EQ(os.LastError(), c.error);

  const char16_t text[] = u"\u3042xyz";
  char out[8] = {};
  os.SetLastError(0);
  EXPECT_EQ(os.WideCharToMultiByte(c.codePage, 0, text, c.count, out, c.capacity), 0);
  EXPECT_EQ(os.LastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(Table, ConversionFailure,
                         testing::Values(FailureCase{"empty input", CodePageUtf8, 0, 8, 87},
                                         FailureCase{"negative count", CodePageUtf8, -1, 8, 87},
                                         FailureCase{"buffer too small", CodePageUtf8, 4, 1, 122},
                                         FailureCase{"unknown code page", 437, 4, 8, 87},
                                         FailureCase{"UTF-16 is no multibyte page", 1200, 4, 8,
                                                     87}));

TEST(ConversionFlags, UnknownFlagsForUtf8AreRefused) {
  Platform& os = NativePlatform();
  char16_t units[4];
  os.SetLastError(0);
  EXPECT_EQ(os.MultiByteToWideChar(CodePageUtf8, 0x1, "ab", 2, units, 4), 0);
  EXPECT_EQ(os.LastError(), 1004u);
}

TEST(ConversionFlags, StrictEncodingRefusesALoneSurrogate) {
  char bytes[8];
  NativePlatform().SetLastError(0);
  EXPECT_EQ(NativePlatform().WideCharToMultiByte(CodePageUtf8, 0x80, u"a\xD800", 2, bytes, 8), 0);
  EXPECT_EQ(NativePlatform().LastError(), error::NoUnicodeTranslation);
}

struct CodePageCase {
  std::uint32_t codePage;
  bool known;
};

class CodePageInfoCases : public testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageInfoCases, KnowsExactlyThePagesThatAreConverted) {
  Platform& os = NativePlatform();
  os.SetLastError(0);
  EXPECT_EQ(os.CodePageInfo(GetParam().codePage), GetParam().known);
  EXPECT_EQ(os.LastError(), GetParam().known ? 0u : error::InvalidParameter);
}

INSTANTIATE_TEST_SUITE_P(Table, CodePageInfoCases,
                         testing::Values(CodePageCase{932, true}, CodePageCase{65001, true},
                                         CodePageCase{1200, true}, CodePageCase{1201, true},
                                         CodePageCase{20127, true}, CodePageCase{1252, true},
                                         CodePageCase{0, true}, CodePageCase{437, false},
                                         CodePageCase{936, false}, CodePageCase{65000, false}));

struct SingleByteCase {
  std::uint32_t codePage;
  std::string bytes;
  std::u16string units;
};

class SingleBytePages : public testing::TestWithParam<SingleByteCase> {};

TEST_P(SingleBytePages, DecodeAndEncodeBack) {
  Platform& os = NativePlatform();
  const SingleByteCase& c = GetParam();
  std::u16string units(c.bytes.size(), u'\0');
  ASSERT_EQ(os.MultiByteToWideChar(c.codePage, 0, c.bytes.data(), static_cast<int>(c.bytes.size()),
                                   units.data(), static_cast<int>(units.size())),
            static_cast<int>(c.units.size()));
  EXPECT_EQ(units, c.units);
}

INSTANTIATE_TEST_SUITE_P(Table, SingleBytePages,
                         testing::Values(SingleByteCase{1252, "\x80\xE9\x81",
                                                        u"\u20AC\u00E9\u0081"},
                                         SingleByteCase{20127, "A\xE9", u"Ai"}));

TEST(SingleBytePages, EncodeWhatThePageLacksAsQuestionMark) {
  char bytes[3];
  ASSERT_EQ(NativePlatform().WideCharToMultiByte(1252, 0, u"\u20AC\u3042\u00E9", 3, bytes, 3), 3);
  EXPECT_EQ(std::string(bytes, 3), "\x80?\xE9");
  ASSERT_EQ(NativePlatform().WideCharToMultiByte(20127, 0, u"a\u00E9", 2, bytes, 2), 2);
  EXPECT_EQ(std::string(bytes, 2), "a?");
}

TEST(Utf8LargeInput, MeasuresAndConvertsExactly) {
  // Not a timing: checks that a multi-megabyte text measures and converts
  // to the exact counts, ASCII and multibyte mixed.
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += "hq\xE3\x81\x82\r\n";
  Platform& os = NativePlatform();
  const int count = static_cast<int>(bytes.size());
  const int needed = os.MultiByteToWideChar(CodePageUtf8, kStrict, bytes.data(), count, nullptr, 0);
  ASSERT_EQ(needed, 200000 * 5);
  std::u16string units(static_cast<std::size_t>(needed), u'\0');
  ASSERT_EQ(
      os.MultiByteToWideChar(CodePageUtf8, kStrict, bytes.data(), count, units.data(), needed),
      needed);
  EXPECT_EQ(units.substr(units.size() - 5), u"hq\u3042\r\n");
  EXPECT_EQ(os.WideCharToMultiByte(CodePageUtf8, 0, units.data(), needed, nullptr, 0), count);
}

TEST(LowerCase, ThreadLocaleIsJapanese) { EXPECT_EQ(NativePlatform().ThreadLocale(), 0x0411u); }

TEST(LowerCase, MapsOnlyHAndQToHAndQ) {
  std::u16string all(0xFFFF, u'\0');
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<char16_t>(i + 1);
  std::u16string lower(all.size(), u'\0');
  ASSERT_EQ(
      NativePlatform().LowerCase(0x0411, all.data(), static_cast<int>(all.size()), lower.data()),
      static_cast<int>(all.size()));
  for (std::size_t i = 0; i < all.size(); ++i) {
    const auto unit = static_cast<unsigned>(all[i]);
    if (lower[i] == u'h') {
      EXPECT_TRUE(all[i] == u'H' || all[i] == u'h') << std::hex << unit;
    }
    if (lower[i] == u'q') {
      EXPECT_TRUE(all[i] == u'Q' || all[i] == u'q') << std::hex << unit;
    }
  }
  EXPECT_EQ(lower[u'H' - 1], u'h');
  EXPECT_EQ(lower[u'Q' - 1], u'q');
}

struct LowerCaseCase {
  std::u16string source;
  std::u16string expected;
};

class LowerCaseCases : public testing::TestWithParam<LowerCaseCase> {};

TEST_P(LowerCaseCases, KeepsTheLength) {
  std::u16string dest(GetParam().source.size(), u'\0');
  ASSERT_EQ(NativePlatform().LowerCase(0x0411, GetParam().source.data(),
                                       static_cast<int>(dest.size()), dest.data()),
            static_cast<int>(dest.size()));
  EXPECT_EQ(dest, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LowerCaseCases,
    testing::Values(LowerCaseCase{u" HQ\t", u" hq\t"}, LowerCaseCase{u"Hq", u"hq"},
                    LowerCaseCase{u"\u00C9\u00D7\u00DE", u"\u00E9\u00D7\u00FE"},
                    LowerCaseCase{u"\u0100\u0139\u0178\u0130", u"\u0101\u013A\u00FF\u0130"},
                    LowerCaseCase{u"\u0391\u03A3\u0410\u0401", u"\u03B1\u03C3\u0430\u0451"},
                    LowerCaseCase{u"\uFF28\uFF31\u3042", u"\uFF48\uFF51\u3042"},
                    LowerCaseCase{u"\xD83D\xDE00", u"\xD83D\xDE00"}));

TEST(LowerCase, RefusesAnEmptySource) {
  char16_t dest[1];
  NativePlatform().SetLastError(0);
  EXPECT_EQ(NativePlatform().LowerCase(0x0411, u"", 0, dest), 0);
  EXPECT_EQ(NativePlatform().LastError(), error::InvalidParameter);
}

}  // namespace
}  // namespace hq2hd::platform
#endif
