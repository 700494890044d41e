// Block file I/O: the codes each operation leaves in IoStatus.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "fs/FileVar.h"
#include "report/Exception.h"
#include "report/IoFailure.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

class FileVarTest : public ::testing::Test {
 protected:
  FileVarTest() {
    IoStatus::Take();
    FileOpenMode::Set(0);
  }
  ~FileVarTest() override {
    IoStatus::Take();
    FileOpenMode::Set(2);
  }
  TempDir dir_;
};

TEST_F(FileVarTest, NameOf259UnitsIsKeptAnd260IsCutWithCode3) {
  FileVar file;
  AssignName(file, Text(259, u'a'));
  EXPECT_EQ(IoStatus::Take(), 0);
  EXPECT_EQ(file.nameLength, 259u);
  AssignName(file, Text(260, u'a'));
  EXPECT_EQ(file.nameLength, 259u);
  try {
    CheckIo();
    FAIL() << "no failure";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 3);
  }
  EXPECT_EQ(IoStatus::Peek(), 0);
}

TEST_F(FileVarTest, NameCountsOnlyUpToTheFirstNul) {
  FileVar file;
  AssignName(file, Text(u"ab\0cd", 5));
  EXPECT_EQ(file.nameLength, 2u);
}

TEST_F(FileVarTest, ReadsOf4096FromTenThousandBytes) {
  WriteBytes(dir_.Path() / "f", std::string(10000, 'x'));
  FileVar file;
  AssignName(file, dir_.Name("f"));
  OpenExisting(file, 1);
  ASSERT_EQ(IoStatus::Take(), 0);
  std::array<char, 4096> block;
  std::vector<std::int32_t> counts;
  std::int32_t done = -1;
  do {
    ReadBlocks(file, block.data(), 4096, &done);
    counts.push_back(done);
  } while (done != 0);
  EXPECT_EQ(counts, (std::vector<std::int32_t>{4096, 4096, 1808, 0}));
  EXPECT_EQ(IoStatus::Take(), 0);
  EXPECT_EQ(CloseFileVar(file), 0);
}

TEST_F(FileVarTest, ShortfallWithoutCountOutIsCode100And101) {
  WriteBytes(dir_.Path() / "f", "abc");
  FileVar file;
  AssignName(file, dir_.Name("f"));
  OpenExisting(file, 1);
  std::array<char, 16> block;
  EXPECT_EQ(ReadBlocks(file, block.data(), 16), 0);
  EXPECT_EQ(IoStatus::Take(), 100);
  CloseFileVar(file);

  FileVar out;
  AssignName(out, dir_.Name("g"));
  CreateTruncate(out, 4);
  // 3 records of 4 bytes: all written, so no shortfall.
  EXPECT_EQ(WriteBlocks(out, "abcdefghijkl", 3), 3);
  EXPECT_EQ(IoStatus::Take(), 0);
  CloseFileVar(out);
  EXPECT_EQ(ReadBytes(dir_.Path() / "g"), "abcdefghijkl");
}

TEST_F(FileVarTest, WriteOfZeroRecordsSucceeds) {
  FileVar file;
  AssignName(file, dir_.Name("g"));
  CreateTruncate(file, 1);
  std::int32_t done = -1;
  EXPECT_EQ(WriteBlocks(file, "", 0, &done), 0);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(IoStatus::Take(), 0);
  CloseFileVar(file);
}

TEST_F(FileVarTest, WrongDirectionIs103AndCreatedFileCanBeRead) {
  WriteBytes(dir_.Path() / "f", "abc");
  FileVar input;
  AssignName(input, dir_.Name("f"));
  OpenExisting(input, 1);
  std::int32_t done = -1;
  WriteBlocks(input, "x", 1, &done);
  EXPECT_EQ(IoStatus::Take(), 103);
  EXPECT_EQ(done, -1) << "count out must stay unwritten";
  FlushFileVar(input);
  EXPECT_EQ(IoStatus::Take(), 103) << "a file open for reading has nothing to flush";
  CloseFileVar(input);

  FileVar created;
  AssignName(created, dir_.Name("f"));
  CreateTruncate(created, 1);
  std::array<char, 4> block;
  ReadBlocks(created, block.data(), 4, &done);
  EXPECT_EQ(IoStatus::Take(), 0);
  EXPECT_EQ(done, 0) << "the create emptied the file";
  FlushFileVar(created);
  EXPECT_EQ(IoStatus::Take(), 0);
  CloseFileVar(created);
  FlushFileVar(created);
  EXPECT_EQ(IoStatus::Take(), 103) << "a closed file cannot be flushed";
  EXPECT_EQ(ReadBytes(dir_.Path() / "f"), "");
}

TEST_F(FileVarTest, MissingFileLeaves2ThenCloseLeaves103) {
  FileVar file;
  AssignName(file, dir_.Name("missing"));
  OpenExisting(file, 1);
  EXPECT_EQ(IoStatus::Peek(), 2);
  EXPECT_EQ(file.mode, FileMode::Closed);
  CloseFileVar(file);
  EXPECT_EQ(IoStatus::Take(), 103);
}

TEST_F(FileVarTest, SecondCloseAndCloseOfUnassignedAre103) {
  WriteBytes(dir_.Path() / "f", "abc");
  FileVar file;
  AssignName(file, dir_.Name("f"));
  OpenExisting(file, 1);
  EXPECT_EQ(CloseFileVar(file), 0);
  EXPECT_EQ(IoStatus::Take(), 0);
  CloseFileVar(file);
  EXPECT_EQ(IoStatus::Take(), 103);
  FileVar never;
  CloseFileVar(never);
  EXPECT_EQ(IoStatus::Take(), 103);
}

TEST_F(FileVarTest, OpenOfUnassignedRecordIs102) {
  FileVar never;
  OpenExisting(never, 1);
  EXPECT_EQ(IoStatus::Take(), 102);
  EXPECT_EQ(never.mode, FileMode::NotAssigned);
  CreateTruncate(never, 1);
  EXPECT_EQ(IoStatus::Take(), 102);
}

}  // namespace
}  // namespace hq2hd::testing
