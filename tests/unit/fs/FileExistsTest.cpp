// Exists tests, deletes and file times, including links.
#include <gtest/gtest.h>

#include "fs/FileDelete.h"
#include "fs/FileExists.h"
#include "fs/FileTimes.h"
#include "report/Exception.h"
#include "report/OsMessage.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

namespace fs = std::filesystem;

class FileServicesTest : public ::testing::Test {
 protected:
  FileServicesTest() {
    WriteBytes(dir_.Path() / "file", "data");
    fs::create_directory(dir_.Path() / "dir");
  }
  Text Name(const char* leaf) const { return dir_.Name(leaf); }
  TempDir dir_;
};

TEST_F(FileServicesTest, PlainExistsTestsTellFilesFromFolders) {
  EXPECT_TRUE(IsFilePresent(Name("file"), true));
  EXPECT_FALSE(IsFilePresent(Name("dir"), true));
  EXPECT_FALSE(IsFilePresent(Name("missing"), true));
  EXPECT_FALSE(IsFilePresent(ToText(dir_.Path() / "missing" / "x"), true));
  EXPECT_TRUE(IsDirectoryPresent(Name("dir")));
  EXPECT_FALSE(IsDirectoryPresent(Name("file")));
  EXPECT_FALSE(IsDirectoryPresent(Name("missing")));
}

TEST_F(FileServicesTest, StrictDeleteOfMissingFileRaisesWithTheSystemsText) {
  try {
    StrictDeleteFile(Name("missing"));
    FAIL() << "nothing raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.Message(), OsMessage(2));
    EXPECT_EQ(failure.ErrorCode(), 0);
  }
  EXPECT_NO_THROW(StrictDeleteFile(Name("file")));
  EXPECT_FALSE(fs::exists(dir_.Path() / "file"));
}

TEST_F(FileServicesTest, StrictDeleteValidatesFirst) {
  EXPECT_THROW(StrictDeleteFile(ToText(dir_.Path() / "none" / "x")), EDirectoryNotFoundException);
  EXPECT_THROW(StrictDeleteFile(u"a|b"), EArgumentException);
}

TEST_F(FileServicesTest, PlainDeleteAnswersFalseAndKeepsTheCode) {
  EXPECT_FALSE(RemoveFile(Name("missing")));
  EXPECT_EQ(platform::Os().LastError(), 2u);
  EXPECT_FALSE(RemoveFile(Name("dir")));
  EXPECT_TRUE(fs::exists(dir_.Path() / "dir"));
}

TEST_F(FileServicesTest, ZeroDateTimeLeavesTheTimeUnchanged) {
  FileTimesResult before = QueryFileTimes(Name("file"), true);
  ASSERT_TRUE(before.found);
  WriteLastWriteTime(Name("file"), LocalDateTime::Zero());
  EXPECT_EQ(QueryFileTimes(Name("file"), true).lastWrite, before.lastWrite);
}

TEST_F(FileServicesTest, TimeWrittenIsReadBackToTheMillisecond) {
  const LocalDateTime time{2020, 2, 29, 23, 59, 58, 999};
  WriteLastWriteTime(Name("file"), time);
  WriteLastAccessTime(Name("file"), time);
  EXPECT_EQ(ReadLastWriteTime(Name("file")), time);
  EXPECT_EQ(ReadLastAccessTime(Name("file")), time);
}

TEST_F(FileServicesTest, YearBefore1601LeavesTheTimeUnchanged) {
  const LocalDateTime before = ReadLastWriteTime(Name("file"));
  WriteLastWriteTime(Name("file"), LocalDateTime{1500, 1, 1, 0, 0, 0, 0});
  EXPECT_EQ(ReadLastWriteTime(Name("file")), before);
}

TEST_F(FileServicesTest, TimeReadOfMissingFileRaisesFileNotFound) {
  EXPECT_THROW(ReadCreationTime(Name("missing")), EFileNotFoundException);
  EXPECT_THROW(WriteLastWriteTime(Name("missing"), LocalDateTime{2020, 1, 1, 0, 0, 0, 0}),
               EFileNotFoundException);
}

#ifdef _WIN32
TEST_F(FileServicesTest, StrictDeleteOfInvalidNamePassesSilently) {
  // The platform refuses "?" in a name with 123, which is not reported.
  EXPECT_NO_THROW(StrictDeleteFile(Name("a?b")));
}
#else
// Symbolic links stand in for reparse points on POSIX; Wine cannot make them.
TEST_F(FileServicesTest, FileLinkFollowsToItsTarget) {
  fs::create_symlink(dir_.Path() / "file", dir_.Path() / "link");
  EXPECT_TRUE(IsFilePresent(Name("link"), true));
  EXPECT_TRUE(IsFilePresent(Name("link"), false));
  LinkTarget target = ResolveLinkTarget(Name("link"));
  EXPECT_TRUE(target.found);
  EXPECT_EQ(target.target, ToText(fs::canonical(dir_.Path() / "file")));
  WriteLastWriteTime(Name("file"), LocalDateTime{2019, 7, 1, 12, 0, 0, 5});
  EXPECT_EQ(ReadLastWriteTime(Name("link")), (LocalDateTime{2019, 7, 1, 12, 0, 0, 5}));
  EXPECT_EQ(ReadFileAttributes(Name("link")) & platform::FileAttributeReparsePoint, 0u);
}

TEST_F(FileServicesTest, DanglingLinkIsNoFileAndHasNoDrive) {
  fs::create_symlink(dir_.Path() / "gone", dir_.Path() / "dangling");
  EXPECT_FALSE(IsFilePresent(Name("dangling"), true));
  EXPECT_TRUE(IsFilePresent(Name("dangling"), false));
  try {
    ResolveLinkTarget(Name("dangling"));
    FAIL() << "nothing raised";
  } catch (const EDirectoryNotFoundException& failure) {
    EXPECT_EQ(failure.Message(), u"ドライブが見つかりません");
  }
  EXPECT_FALSE(QueryFileTimes(Name("dangling"), false).found);
}

TEST_F(FileServicesTest, DirectoryLinkIsAFolderAndIsRemovedAsOne) {
  WriteBytes(dir_.Path() / "dir" / "inside", "x");
  fs::create_directory_symlink(dir_.Path() / "dir", dir_.Path() / "dirlink");
  EXPECT_TRUE(IsDirectoryPresent(Name("dirlink")));
  EXPECT_FALSE(IsFilePresent(Name("dirlink"), true));
  EXPECT_TRUE(IsFilePresent(Name("dirlink"), false));
  EXPECT_TRUE(RemoveFile(Name("dirlink")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_.Path() / "dirlink")));
  EXPECT_TRUE(fs::exists(dir_.Path() / "dir" / "inside"));
}
#endif

}  // namespace
}  // namespace hq2hd::testing

namespace hq2hd::testing {
namespace {

TEST_F(FileServicesTest, ImpossibleDateRaisesOutOfRangeAndLeavesTheTime) {
  const LocalDateTime before = ReadLastWriteTime(Name("file"));
  try {
    WriteLastWriteTime(Name("file"), LocalDateTime{2021, 2, 29, 0, 0, 0, 0});
    FAIL() << "nothing raised";
  } catch (const EArgumentOutOfRangeException& failure) {
    EXPECT_EQ(failure.Message(), u"日付または時刻が無効です");
    EXPECT_STREQ(failure.ClassName(), "EArgumentOutOfRangeException");
  }
  EXPECT_EQ(ReadLastWriteTime(Name("file")), before);
}

}  // namespace
}  // namespace hq2hd::testing

#include "support/CountingPlatform.h"

namespace hq2hd::testing {
namespace {

struct RefusalCase {
  std::uint32_t code;
  bool raises;
};

class StrictDeleteRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(StrictDeleteRefusalTest, OnlySharingMissingAndDeniedRaise) {
  TempDir dir;
  WriteBytes(dir.Path() / "file", "x");
  CountingPlatform fake;
  platform::ScopedPlatform scope(fake);
  fake.deleteFault = {1, GetParam().code};
  bool raised = false;
  try {
    StrictDeleteFile(dir.Name("file"));
  } catch (const EInOutError& failure) {
    raised = true;
    EXPECT_EQ(failure.Message(), OsMessage(GetParam().code));
    EXPECT_EQ(failure.ErrorCode(), 0);
  }
  EXPECT_EQ(raised, GetParam().raises);
  EXPECT_TRUE(fs::exists(dir.Path() / "file"));
}

INSTANTIATE_TEST_SUITE_P(Codes, StrictDeleteRefusalTest,
                         ::testing::Values(RefusalCase{2, true}, RefusalCase{5, true},
                                           RefusalCase{32, true}, RefusalCase{3, false},
                                           RefusalCase{123, false}, RefusalCase{19, false}));

}  // namespace
}  // namespace hq2hd::testing
