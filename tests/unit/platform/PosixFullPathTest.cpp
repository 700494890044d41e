#ifndef _WIN32
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/FullPath.h"
#include "platform/posix/NameCodec.h"

namespace hq2hd::platform::posix {
namespace {

struct FullPathCase {
  std::u16string name;
  std::u16string expected;
};

class MakeFullPathCases : public testing::TestWithParam<FullPathCase> {};

TEST_P(MakeFullPathCases, ResolvesAgainstTheCurrentDirectoryByTextAlone) {
  EXPECT_EQ(MakeFullPath(GetParam().name, u"/home/user/work"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MakeFullPathCases,
    testing::Values(FullPathCase{u"JWC_TEMP.TXT", u"/home/user/work/JWC_TEMP.TXT"},
                    FullPathCase{u"./a/./b", u"/home/user/work/a/b"},
                    FullPathCase{u"../x", u"/home/user/x"}, FullPathCase{u"../../../../..", u"/"},
                    FullPathCase{u".", u"/home/user/work"}, FullPathCase{u"..", u"/home/user"},
                    FullPathCase{u"sub/", u"/home/user/work/sub/"},
                    FullPathCase{u"sub/..", u"/home/user/work"}, FullPathCase{u"/", u"/"},
                    FullPathCase{u"//", u"/"}, FullPathCase{u"/tmp//a///b", u"/tmp/a/b"},
                    FullPathCase{u"/tmp/dir/", u"/tmp/dir/"}, FullPathCase{u"/a/b/../../..", u"/"},
                    FullPathCase{u"/a/.../b", u"/a/.../b"},
                    // A backslash is an ordinary character in a POSIX name.
                    FullPathCase{u"a\\b", u"/home/user/work/a\\b"},
                    FullPathCase{u"\u30D5\u30A1\u30A4\u30EB",
                                 u"/home/user/work/\u30D5\u30A1\u30A4\u30EB"}));

TEST(FullPathName, MakesARelativeNameAbsoluteAgainstTheProcessDirectory) {
  const Text cwd = DecodeName(std::filesystem::current_path().string());
  const Text expected = cwd + u"/TEMP.TXT";
  char16_t buffer[4096];
  const std::uint32_t length = NativePlatform().FullPathName(u"./TEMP.TXT", 4096, buffer);
  ASSERT_EQ(length, expected.size());
  EXPECT_EQ(Text(buffer, length), expected);
  EXPECT_EQ(buffer[length], u'\0');
}

struct BufferCase {
  std::uint32_t bufferLength;
  std::uint32_t expectedReturn;
  bool written;
};

class FullPathNameBuffer : public testing::TestWithParam<BufferCase> {};

// "/tmp/x/y" is 8 units: it fits only with room for the terminator too;
// otherwise the size needed, terminator included, comes back.
TEST_P(FullPathNameBuffer, ReturnsTheLengthOrTheSizeNeeded) {
  char16_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  const std::uint32_t result =
      NativePlatform().FullPathName(u"/tmp/./x/y", GetParam().bufferLength, buffer);
  EXPECT_EQ(result, GetParam().expectedReturn);
  if (GetParam().written) {
    EXPECT_EQ(Text(buffer, 9), Text(u"/tmp/x/y\0", 9));
  } else {
    EXPECT_EQ(buffer[0], u'#');
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FullPathNameBuffer,
                         testing::Values(BufferCase{16, 8, true}, BufferCase{9, 8, true},
                                         BufferCase{8, 9, false}, BufferCase{1, 9, false},
                                         BufferCase{0, 9, false}));

TEST(FullPathName, MeasuresWithANullBuffer) {
  EXPECT_EQ(NativePlatform().FullPathName(u"/a/b", 100, nullptr), 5u);
}

TEST(FullPathName, StopsAtTheFirstZeroUnit) {
  char16_t buffer[16];
  const std::uint32_t length = NativePlatform().FullPathName(Text(u"/a\0/b", 5), 16, buffer);
  EXPECT_EQ(Text(buffer, length), u"/a");
}

TEST(FullPathName, RefusesAnEmptyNameWithInvalidName) {
  char16_t buffer[16];
  NativePlatform().SetLastError(0);
  EXPECT_EQ(NativePlatform().FullPathName(u"", 16, buffer), 0u);
  EXPECT_EQ(NativePlatform().LastError(), error::InvalidName);
}

}  // namespace
}  // namespace hq2hd::platform::posix
#endif
