// The Windows backend's process, message, console and code-page calls. Run
// under Wine with LC_ALL=ja_JP.UTF-8 (build/<dir>/wine-run), which is a
// Japanese Windows: ANSI code page 932 and Japanese system messages.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace hq2hd::platform {
namespace {

bool HasJapanese(const Text& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char16_t unit) { return unit >= 0x3040 && unit <= 0x9FFF; });
}

TEST(WindowsSystem, CodePagesAreThoseOfAJapaneseSystem) {
  Platform& os = NativePlatform();
  EXPECT_EQ(os.AnsiCodePage(), 932u);
  EXPECT_EQ(os.OemCodePage(), 932u);
  EXPECT_TRUE(os.CodePageInfo(932));
  EXPECT_TRUE(os.CodePageInfo(CodePageUtf8));
  EXPECT_FALSE(os.CodePageInfo(12345));
}

TEST(WindowsSystem, SystemMessageForFileNotFoundIsJapanese) {
  const Text message = NativePlatform().SystemMessage(error::FileNotFound);
  EXPECT_FALSE(message.empty());
  EXPECT_TRUE(HasJapanese(message));
}

TEST(WindowsSystem, SystemMessageForAnUnknownCodeIsEmpty) {
  EXPECT_EQ(NativePlatform().SystemMessage(0x2FFFFFFF), Text());
}

TEST(WindowsSystem, ModuleFileNameIsThisExecutable) {
  const Text name = NativePlatform().ModuleFileName();
  ASSERT_GT(name.size(), 3u);
  EXPECT_EQ(name[1], u':');
  EXPECT_EQ(name.substr(name.find_last_of(u'\\') + 1), u"unit_tests.exe");
}

TEST(WindowsSystem, LastErrorIsWhatWasSet) {
  Platform& os = NativePlatform();
  os.SetLastError(error::SharingViolation);
  EXPECT_EQ(os.LastError(), error::SharingViolation);
}

TEST(WindowsSystem, LowerCaseMapsFullWidthAndAsciiLetters) {
  Platform& os = NativePlatform();
  const Text source = u"HQ\uFF28\uFF31\u00C9";
  Text lowered(source.size(), u'\0');
  ASSERT_EQ(os.LowerCase(os.ThreadLocale(), source.data(), static_cast<int>(source.size()),
                         lowered.data()),
            static_cast<int>(source.size()));
  EXPECT_EQ(lowered, u"hq\uFF48\uFF51\u00E9");
}

TEST(WindowsSystem, StandardHandlesAreValidOrInvalidHandleNeverNull) {
  Platform& os = NativePlatform();
  for (const StdStream stream : {StdStream::Input, StdStream::Output, StdStream::Error})
    EXPECT_NE(os.StdHandle(stream), Handle{0});
}

struct DecodeCase {
  const char* label;
  std::uint32_t codePage;
  std::uint32_t flags;
  std::string bytes;
  int capacity;
  int expectedResult;
  std::uint32_t expectedError;  // checked when the result is 0
  Text expectedUnits;           // checked when the call converted
};

class WindowsDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(WindowsDecode, FollowsMultiByteToWideChar) {
  const DecodeCase& c = GetParam();
  Platform& os = NativePlatform();
  os.SetLastError(0);
  Text units(16, u'\0');
  const int result =
      os.MultiByteToWideChar(c.codePage, c.flags, c.bytes.data(), static_cast<int>(c.bytes.size()),
                             c.capacity < 0 ? nullptr : units.data(), std::max(c.capacity, 0));
  EXPECT_EQ(result, c.expectedResult);
  if (result == 0) {
    EXPECT_EQ(os.LastError(), c.expectedError);
  }
  if (result > 0 && c.capacity > 0) {
    EXPECT_EQ(units.substr(0, result), c.expectedUnits);
  }
}

// A capacity of -1 stands for a null output buffer.
INSTANTIATE_TEST_SUITE_P(
    Windows, WindowsDecode,
    testing::Values(DecodeCase{"Hiragana", 932, 0, "\x82\xA0", 16, 1, 0, u"\u3042"},
                    DecodeCase{"NullOutputMeasures", 932, 0, "a\x82\xA0", -1, 2, 0, u""},
                    DecodeCase{"ZeroCapacityMeasures", 932, 0, "a\x82\xA0", 0, 2, 0, u""},
                    DecodeCase{"TooSmall", 932, 0, "abc", 2, 0, error::InsufficientBuffer, u""},
                    DecodeCase{"StrictLoneLead", 932, MbErrInvalidChars, "a\x82", 16, 0,
                               error::NoUnicodeTranslation, u""},
                    DecodeCase{"StrictUtf8Invalid", CodePageUtf8, MbErrInvalidChars, "\xC3", 16, 0,
                               error::NoUnicodeTranslation, u""},
                    DecodeCase{"Utf8", CodePageUtf8, MbErrInvalidChars, "\xC3\xA9", 16, 1, 0,
                               u"\u00E9"},
                    DecodeCase{"BytesOfZeroConvert", 932, 0, std::string("a\0b", 3), 16, 3, 0,
                               Text(u"a\0b", 3)}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.label; });

struct EncodeCase {
  const char* label;
  std::uint32_t codePage;
  Text units;
  int capacity;
  int expectedResult;
  std::uint32_t expectedError;
  std::string expectedBytes;
};

class WindowsEncode : public testing::TestWithParam<EncodeCase> {};

TEST_P(WindowsEncode, FollowsWideCharToMultiByte) {
  const EncodeCase& c = GetParam();
  Platform& os = NativePlatform();
  os.SetLastError(0);
  std::string bytes(16, '\0');
  const int result =
      os.WideCharToMultiByte(c.codePage, 0, c.units.data(), static_cast<int>(c.units.size()),
                             c.capacity < 0 ? nullptr : bytes.data(), std::max(c.capacity, 0));
  EXPECT_EQ(result, c.expectedResult);
  if (result == 0) {
    EXPECT_EQ(os.LastError(), c.expectedError);
  }
  if (result > 0 && c.capacity > 0) {
    EXPECT_EQ(bytes.substr(0, result), c.expectedBytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowsEncode,
    testing::Values(EncodeCase{"Hiragana", 932, u"\u3042", 16, 2, 0, "\x82\xA0"},
                    EncodeCase{"NullOutputMeasures", 932, u"a\u3042", -1, 3, 0, ""},
                    EncodeCase{"TooSmall", 932, u"\u3042", 1, 0, error::InsufficientBuffer, ""},
                    EncodeCase{"Unmappable", 932, u"\u0E01", 16, 1, 0, "?"},
                    EncodeCase{"SurrogatePairUnitByUnit", 932, u"\U0001F600", 16, 2, 0, "??"},
                    EncodeCase{"BestFitYen", 932, u"\u00A5", 16, 1, 0, "\x5C"},
                    EncodeCase{"Utf8", CodePageUtf8, u"\u00E9", 16, 2, 0, "\xC3\xA9"}),
    [](const testing::TestParamInfo<EncodeCase>& info) { return info.param.label; });

}  // namespace
}  // namespace hq2hd::platform

#endif  // _WIN32
