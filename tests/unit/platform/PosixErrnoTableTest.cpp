#ifndef _WIN32
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/posix/ErrnoTable.h"

namespace hq2hd::platform::posix {
namespace {

struct ErrnoCase {
  int errnum;
  std::uint32_t code;
};

class ErrnoToWindows : public testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoToWindows, MapsToTheWindowsCode) {
  EXPECT_EQ(WindowsErrorFromErrno(GetParam().errnum), GetParam().code)
      << std::strerror(GetParam().errnum);
}

// What a real failing call gives is checked by the file tests; an errno the
// table does not know must still be a failure, and no errno no failure.
INSTANTIATE_TEST_SUITE_P(Unknown, ErrnoToWindows,
                         testing::Values(ErrnoCase{EHOSTDOWN, 31}, ErrnoCase{0, 0}));

TEST(WindowsToErrno, HasNoErrnoForCodesOutsideTheTable) {
  for (std::uint32_t code : {1u, 23u, 38u, 122u, 123u, 183u, 99999u})
    EXPECT_FALSE(ErrnoFromWindowsError(code).has_value()) << code;
}

struct MessageCase {
  std::uint32_t code;
  int errnum;
};

class SystemMessageText : public testing::TestWithParam<MessageCase> {};

TEST_P(SystemMessageText, IsTheCLibraryTextEndingInCrLf) {
  const std::string expected = std::string(std::strerror(GetParam().errnum)) + "\r\n";
  const Text message = NativePlatform().SystemMessage(GetParam().code);
  EXPECT_EQ(message, Text(expected.begin(), expected.end()));
}

INSTANTIATE_TEST_SUITE_P(Table, SystemMessageText,
                         testing::Values(MessageCase{2, ENOENT}, MessageCase{3, ENOENT},
                                         MessageCase{5, EACCES}, MessageCase{32, EBUSY},
                                         MessageCase{112, ENOSPC}));

TEST(SystemMessageText, IsEmptyForACodeWithoutAMessage) {
  EXPECT_TRUE(NativePlatform().SystemMessage(105).empty());
  EXPECT_TRUE(NativePlatform().SystemMessage(0xFFFFFFFFu).empty());
}

}  // namespace
}  // namespace hq2hd::platform::posix
#endif
