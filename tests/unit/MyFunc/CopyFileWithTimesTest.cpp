// The block copy: passes, bytes, times, and which failures reach the caller.
#include <gtest/gtest.h>

#include "MyFunc/CopyFileWithTimes.h"
#include "MyFunc/SafeFileOps.h"
#include "platform/IoStatus.h"
#include "platform/UniqueHandle.h"
#include "report/Exception.h"
#include "support/CountingPlatform.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

using platform::FileTime;

class CopyTest : public ::testing::Test {
 protected:
  CopyTest() : scope_(platform_) { IoStatus::Take(); }
  ~CopyTest() override { IoStatus::Take(); }

  std::filesystem::path Source() const { return dir_.Path() / "src.txt"; }
  std::filesystem::path Destination() const { return dir_.Path() / "dst.txt"; }
  CopyOutcome Copy() { return CopyFileWithTimes(dir_.Name("src.txt"), dir_.Name("dst.txt")); }

  TempDir dir_;
  CountingPlatform platform_;

 private:
  platform::ScopedPlatform scope_;
};

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 % 251);
  return bytes;
}

struct SizeCase {
  std::size_t size;
  int passes;
};

class CopySizeTest : public CopyTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(CopySizeTest, CopiesEveryByteInBlockPasses) {
  const std::string bytes = Pattern(GetParam().size);
  WriteBytes(Source(), bytes);
  CopyOutcome outcome = Copy();
  EXPECT_TRUE(outcome.completed);
  EXPECT_TRUE(outcome.destinationCreated);
  EXPECT_EQ(ReadBytes(Destination()), bytes);
  EXPECT_EQ(platform_.readFault.calls, GetParam().passes);
  EXPECT_EQ(ReadBytes(Source()), bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CopySizeTest,
                         ::testing::Values(SizeCase{0, 1}, SizeCase{4096, 2}, SizeCase{10000, 4}));

FileTime TimesOf(const std::filesystem::path& file, int which) {
  platform::FileAttributeData data;
  EXPECT_TRUE(platform::Os().FileAttributesEx(ToText(file), data));
  return which == 0 ? data.creation : which == 1 ? data.lastAccess : data.lastWrite;
}

TEST_F(CopyTest, DestinationGetsSourceTimesCutToMilliseconds) {
  WriteBytes(Source(), "abc");
  WriteBytes(Destination(), "old content that is longer");
  // 2021-05-06 07:08:09.1234567 UTC, with units below a millisecond.
  const FileTime stamp{132647272891234567ull};
  {
    platform::UniqueHandle file(platform::Os().CreateFile(
        ToText(Source()), platform::GenericWrite, platform::FileShareWrite, platform::OpenExisting,
        platform::FileAttributeNormal));
    ASSERT_TRUE(file);
    ASSERT_TRUE(platform::Os().SetFileTimes(file.Get(), &stamp, &stamp, &stamp));
  }
  ASSERT_TRUE(Copy().completed);
  const FileTime cut{stamp.ticks - stamp.ticks % 10000};
  EXPECT_EQ(TimesOf(Destination(), 2), cut);
  EXPECT_EQ(TimesOf(Destination(), 1), cut);
#ifdef _WIN32
  EXPECT_EQ(TimesOf(Destination(), 0), cut);
#endif
  EXPECT_EQ(ReadBytes(Destination()), "abc");
}

TEST_F(CopyTest, MissingSourceRaisesFileNotFoundAndCreatesNothing) {
  try {
    Copy();
    FAIL() << "no failure";
  } catch (const EFileNotFoundException& failure) {
    EXPECT_EQ(failure.Message(), u"指定されたファイルが見つかりません");
  }
  EXPECT_FALSE(std::filesystem::exists(Destination()));
}

TEST_F(CopyTest, SourceInMissingFolderRaisesDirectoryNotFound) {
  try {
    CopyFileWithTimes(dir_.Name("none/src.txt"), dir_.Name("dst.txt"));
    FAIL() << "no failure";
  } catch (const EDirectoryNotFoundException& failure) {
    EXPECT_EQ(failure.Message(), u"指定されたパスが見つかりません");
  }
}

TEST_F(CopyTest, SourceThatCannotBeOpenedRaises103NotTheSystemCode) {
  WriteBytes(Source(), "abc");
  platform_.createFault = {1, 32};
  try {
    Copy();
    FAIL() << "no failure";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 103);
    EXPECT_EQ(failure.Message(), u"I/O エラー 103");
  }
  EXPECT_FALSE(std::filesystem::exists(Destination()));
  EXPECT_EQ(IoStatus::Peek(), 0);
}

TEST_F(CopyTest, DestinationThatCannotBeCreatedKeepsOldContentAndIsNotComplete) {
  WriteBytes(Source(), "new");
  WriteBytes(Destination(), "old");
  // A read-only or locked destination can be neither removed nor created.
  platform_.deleteFault = {1, 5};
  platform_.createFault = {2, 5};
  CopyOutcome outcome = Copy();
  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(outcome.destinationCreated);
  EXPECT_EQ(ReadBytes(Destination()), "old");
}

TEST_F(CopyTest, ExistingDestinationIsReplacedNotWrittenThrough) {
  WriteBytes(Source(), "new");
  WriteBytes(dir_.Path() / "other", "other");
  std::error_code error;
  std::filesystem::create_hard_link(dir_.Path() / "other", Destination(), error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  EXPECT_TRUE(Copy().completed);
  EXPECT_EQ(ReadBytes(Destination()), "new");
  EXPECT_EQ(ReadBytes(dir_.Path() / "other"), "other");
}

TEST_F(CopyTest, RefusedBlockWriteOrFlushDeletesDestination) {
  for (CallFault CountingPlatform::*fault :
       {&CountingPlatform::writeFault, &CountingPlatform::flushFault}) {
    platform_.Reset();
    WriteBytes(Source(), Pattern(10000));
    platform_.*fault = {fault == &CountingPlatform::writeFault ? 2 : 1, 112};
    CopyOutcome outcome = Copy();
    EXPECT_EQ((platform_.*fault).calls, (platform_.*fault).failAt) << "it stops there";
    EXPECT_FALSE(outcome.completed);
    EXPECT_FALSE(std::filesystem::exists(Destination()));
  }
}

// The destination is always made new: a name that another program puts there
// between the removal and the create is removed again (the run's table shows
// the copy giving up when it keeps coming back).
TEST_F(CopyTest, DestinationNameThatReappearsOnceIsRemovedAndCreatedAgain) {
  WriteBytes(Source(), "abc");
  platform_.createFaultName = u"dst.txt";
  platform_.createFault = {1, 80};
  EXPECT_TRUE(Copy().completed);
  EXPECT_EQ(ReadBytes(Destination()), "abc");
}

// A write that takes less than it was given has lost bytes: the disk is full.
TEST_F(CopyTest, ShortWriteEndsTheLoopIncompleteAsDiskFull) {
  WriteBytes(Source(), Pattern(10000));
  platform_.shortWriteAt = 1;
  CopyOutcome outcome = Copy();
  EXPECT_FALSE(outcome.completed);
  EXPECT_TRUE(outcome.destinationCreated);
  EXPECT_FALSE(std::filesystem::exists(Destination()));
  try {
    std::rethrow_exception(outcome.failure);
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 101);
    EXPECT_EQ(failure.Message(), u"ディスクがいっぱいです");
  }
}

TEST_F(CopyTest, FailedDestinationCloseIsIncompleteAndAbsorbed) {
  WriteBytes(Source(), "abc");
  platform_.closeFault = {1, 5};
  CopyOutcome outcome = Copy();
  EXPECT_FALSE(outcome.completed);
  EXPECT_TRUE(std::filesystem::exists(Destination()));
}

TEST_F(CopyTest, FailedSourceCloseReaches103AfterACompleteCopy) {
  WriteBytes(Source(), "abc");
  // Closes: the destination, the time writes' three handles, then the source.
  platform_.closeFault = {5, 5};
  try {
    Copy();
    FAIL() << "no failure";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 103);
  }
  EXPECT_EQ(ReadBytes(Destination()), "abc");
}

TEST_F(CopyTest, TimeThatCannotBeWrittenLeavesACompleteCopy) {
  WriteBytes(Source(), "abc");
  // Opens: the source, the destination, then the destination for each time.
  platform_.createFault = {3, 32, true};
  CopyOutcome outcome = Copy();
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(ReadBytes(Destination()), "abc");
}

TEST_F(CopyTest, DestinationCheckFailingBeforeItsTimesLeavesACompleteCopy) {
#ifdef _WIN32
  GTEST_SKIP() << "on Windows a colon names a stream of another file";
#else
  WriteBytes(Source(), "abc");
  // A name the file system takes but the time writes' checks refuse: a colon
  // after the drive part.
  CopyOutcome outcome = CopyFileWithTimes(dir_.Name("src.txt"), dir_.Name("dst:txt"));
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(ReadBytes(dir_.Path() / "dst:txt"), "abc");
#endif
}

#ifdef _WIN32
// Only an extended-prefix path gets past the length check with more than 259
// units; POSIX file names cannot be that long in one piece, so this runs on
// the Windows build.
TEST_F(CopyTest, SourceNameLongerThan259UnitsReaches103) {
  const std::filesystem::path folder = dir_.Path() / std::string(150, 'd');
  std::filesystem::create_directories(folder);
  const std::filesystem::path source = folder / std::string(120, 's').append(".txt");
  WriteBytes(source, "abc");
  const Text longName = u"\\\\?\\" + ToText(source);
  ASSERT_GT(longName.size(), 259u);
  try {
    CopyFileWithTimes(longName, dir_.Name("dst.txt"));
    FAIL() << "nothing raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 103);
  }
  EXPECT_FALSE(std::filesystem::exists(Destination()));
}
#endif

struct SafeCase {
  const char* name;
  const char* entry;  // what to make: "file", "dir" or nothing
  bool exists;
  bool deleted;
};

class SafeFileOpsTest : public CopyTest, public ::testing::WithParamInterface<SafeCase> {};

TEST_P(SafeFileOpsTest, AnswersWithoutRaising) {
  const std::string entry = GetParam().entry;
  if (entry == "file") WriteBytes(dir_.Path() / "x", "x");
  if (entry == "dir") std::filesystem::create_directory(dir_.Path() / "x");
  EXPECT_EQ(SafeFileExists(dir_.Name("x")), GetParam().exists);
  EXPECT_EQ(SafeDeleteFile(dir_.Name("x")), GetParam().deleted);
  EXPECT_EQ(std::filesystem::exists(dir_.Path() / "x"), entry == "dir");
}

INSTANTIATE_TEST_SUITE_P(Entries, SafeFileOpsTest,
                         ::testing::Values(SafeCase{"File", "file", true, true},
                                           SafeCase{"Missing", "", false, false},
                                           SafeCase{"Directory", "dir", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SafeFileOpsEmptyName, IsFalseWithoutAskingThePlatform) {
  EXPECT_FALSE(SafeFileExists(u""));
  EXPECT_FALSE(SafeDeleteFile(u""));
}

}  // namespace
}  // namespace hq2hd::testing
