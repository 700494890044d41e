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

INSTANTIATE_TEST_SUITE_P(
    Table, ErrnoToWindows,
    testing::Values(ErrnoCase{ENOENT, 2}, ErrnoCase{ENOTDIR, 3}, ErrnoCase{EACCES, 5},
                    ErrnoCase{EPERM, 5}, ErrnoCase{EISDIR, 5}, ErrnoCase{EROFS, 19},
                    ErrnoCase{EMFILE, 4}, ErrnoCase{ENFILE, 4}, ErrnoCase{EBADF, 6},
                    ErrnoCase{ENOMEM, 8}, ErrnoCase{EXDEV, 17}, ErrnoCase{EBUSY, 32},
                    ErrnoCase{ETXTBSY, 32}, ErrnoCase{EEXIST, 80}, ErrnoCase{EINVAL, 87},
                    ErrnoCase{EPIPE, 109}, ErrnoCase{ENOSPC, 112}, ErrnoCase{EDQUOT, 112},
                    ErrnoCase{ENAMETOOLONG, 206}, ErrnoCase{ENOTEMPTY, 145}, ErrnoCase{EIO, 1117},
                    ErrnoCase{ELOOP, 1921}, ErrnoCase{EILSEQ, 1113},
                    // Unknown to the table: a failure code all the same.
                    ErrnoCase{EHOSTDOWN, 31}, ErrnoCase{0, 0}));

class WindowsToErrno : public testing::TestWithParam<ErrnoCase> {};

TEST_P(WindowsToErrno, FindsTheErrnoThatDescribesTheCode) {
  const std::optional<int> errnum = ErrnoFromWindowsError(GetParam().code);
  ASSERT_TRUE(errnum.has_value());
  EXPECT_EQ(*errnum, GetParam().errnum);
}

// Where several errno values share a code, the best-worded one answers.
INSTANTIATE_TEST_SUITE_P(Table, WindowsToErrno,
                         testing::Values(ErrnoCase{ENOENT, 2}, ErrnoCase{ENOENT, 3},
                                         ErrnoCase{EACCES, 5}, ErrnoCase{EMFILE, 4},
                                         ErrnoCase{EBUSY, 32}, ErrnoCase{ENOSPC, 112},
                                         ErrnoCase{EEXIST, 80}, ErrnoCase{EIO, 1117}));

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
