// Runs that meet a failure: what is printed, and that the host's bytes are
// always in the work file afterwards (or, if even that cannot be, in the
// scratch copy).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/RunDriver.h"
#include "report/Exception.h"
#include "support/ForwardingPlatform.h"
#include "support/RunFixture.h"

namespace hq2hd::testing {
namespace {

const std::string hostBytes = "a\r\nhq\r\n\x82\xA0\r\n";
const std::string rewrittenBytes = "a\r\nhd\r\n\x82\xA0\r\n";
const std::set<std::string> onlyWorkFile{"JWC_TEMP.TXT"};
// UTF-16 is read as text and goes through the platform's lower-casing; code
// page 932 and UTF-8 are kept as bytes, whose rule needs no platform call.
const std::string utf16HostBytes(
    "\xFF\xFE"
    "a\0\r\0\n\0h\0q\0\r\0\n\0",
    14);

// Reads and writes of a run on a small file: the copy reads twice (the data,
// then the end) and writes twice; the codec then reads once and writes the
// body once (code page 932 has no preamble).
constexpr int copyReads = 2, copyWrites = 2;

struct FaultCase {
  const char* name;
  void (*arrange)(CountingPlatform&);
  // The report line, or its start where the system's own text follows.
  const char16_t* report;
  bool systemTextFollows = false;
};

class RunDriverFaultTest : public RunFixture, public ::testing::WithParamInterface<FaultCase> {};

// Nothing printed would tell the host that its file was rewritten: every run
// that ends without it says why, once the host's bytes are back.
TEST_P(RunDriverFaultTest, HostBytesStayInWorkFileAndTheFailureIsReported) {
  WriteBytes(WorkFile(), hostBytes);
  GetParam().arrange(platform_);
  Run();
  EXPECT_EQ(ReadBytes(WorkFile()), hostBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
  const std::string line = ReportBytes(GetParam().report);
  if (GetParam().systemTextFollows) {
    EXPECT_TRUE(platform_.stdoutBytes.starts_with(line.substr(0, line.size() - 2)))
        << platform_.stdoutBytes;
    EXPECT_GT(platform_.stdoutBytes.size(), line.size());
    EXPECT_TRUE(platform_.stdoutBytes.ends_with("\r\n"));
  } else {
    EXPECT_EQ(platform_.stdoutBytes, line);
  }
}

constexpr const char16_t* writeError = u"EWriteError: ストリームへの書き込みエラー";

const FaultCase faultCases[] = {
    // The copy stops short: the work file was never deleted.
    {"CopyWriteShort", [](CountingPlatform& p) { p.shortWriteAt = 1; },
     u"EInOutError: ディスクがいっぱいです"},
    {"CopyWriteDiskFull",
     [](CountingPlatform& p) {
       p.writeFault = {1, 112};
     },
     u"EInOutError: I/O エラー 112"},
    {"CopyReadFails",
     [](CountingPlatform& p) {
       p.readFault = {1, 23};
     },
     u"EInOutError: I/O エラー 23"},
    // A failed close reports 1, not the system's code.
    {"ScratchCloseFails",
     [](CountingPlatform& p) {
       p.closeFault = {1, 5};
     },
     u"EInOutError: I/O エラー 1"},
    {"ScratchCannotBeCreated",
     [](CountingPlatform& p) {
       p.createFaultName = u"TEMP.TXT";
       p.createFault = {1, 5};
     },
     u"EInOutError: ファイルへのアクセスが拒否されました"},
    // A name planted between the removal and the create, again and again.
    {"ScratchNameKeepsReappearing",
     [](CountingPlatform& p) {
       p.createFaultName = u"TEMP.TXT";
       p.createFault = {1, 80, true};
     },
     u"EInOutError: I/O エラー 80"},
    // The scratch copy's bytes, or its name, may not be on the disk.
    {"ScratchFlushFails",
     [](CountingPlatform& p) {
       p.flushFault = {1, 112};
     },
     u"EInOutError: I/O エラー 112"},
    {"ScratchNameFlushFails",
     [](CountingPlatform& p) {
       p.folderFlushFault = {1, 1117};
     },
     u"EOSError: システム エラー。コード: 1117。", true},
    // The work file is gone when these happen: the scratch copy is put back.
    {"LoadReadFails",
     [](CountingPlatform& p) {
       p.readFault = {copyReads + 1, 38};
     },
     u"EInOutError: I/O エラー 38"},
    {"LoadReadShort", [](CountingPlatform& p) { p.shortReadAt = copyReads + 1; },
     u"EInOutError: ファイルの末尾以降を読み取りました"},
    // Refused before anything is copied.
    {"WorkFileTooLarge", [](CountingPlatform& p) { p.reportedSize = 0x80000000ull; },
     u"EInOutError: ファイルが大きすぎます"},
    {"LoadOpenFails",
     [](CountingPlatform& p) {
       p.createFaultName = u"TEMP.TXT";
       // The scratch copy is opened by the copy's create, by its three time
       // writes, and then by the codec.
       p.createFault = {5, 32};
     },
     u"EFOpenError: ファイル ", true},
    {"SaveWriteFails",
     [](CountingPlatform& p) {
       p.writeFault = {copyWrites + 1, 112, true};
     },
     writeError},
    {"SaveFlushFails",
     [](CountingPlatform& p) {
       p.flushFault = {2, 1117};
     },
     writeError},
    {"SaveWriteShortThenFails",
     [](CountingPlatform& p) {
       p.shortWriteAt = copyWrites + 1;
       p.writeFault = {copyWrites + 2, 112, true};
     },
     writeError},
    // Another program holds the work file, so it is neither deleted nor
    // replaced: the scratch copy is only a duplicate and goes, and so does
    // the new work file. The report is that of opening it for writing.
    {"WorkFileHeldThroughout",
     [](CountingPlatform& p) {
       p.deleteFault = {1, 32};
       p.moveFault = {1, 5};
       p.createFaultName = u"JWC_TEMP.TXT";
       p.createFault = {2, 32};
     },
     u"EFCreateError: ファイル \"", true},
    // Deleted, but the new work file cannot take its name: the scratch copy
    // is renamed back.
    {"NewWorkFileMoveRefused",
     [](CountingPlatform& p) {
       p.moveFault = {1, 1117};
     },
     u"EFCreateError: ファイル \"", true},
    {"NewWorkFileCannotBeCreated",
     [](CountingPlatform& p) {
       p.createFaultName = u"HQ2HD.NEW";
       p.createFault = {1, 5};
     },
     u"EFCreateError: ファイル \"", true},
    {"WorkFileNotDeletedThenWriteFails",
     [](CountingPlatform& p) {
       p.deleteFault = {1, 5};
       p.writeFault = {copyWrites + 1, 112, true};
     },
     writeError},
    // A read-only work file: neither deleted nor opened for writing.
    {"SaveCreateFails",
     [](CountingPlatform& p) {
       p.deleteFault = {1, 5};
       p.moveFault = {1, 5};
       p.createFaultName = u"JWC_TEMP.TXT";
       p.createFault = {2, 5};
     },
     u"EFCreateError: ファイル \"", true},
    // A program folder whose name the platform had to cut: nothing is touched.
    {"ModuleNameCut",
     [](CountingPlatform& p) { p.moduleFileName.insert(0, 300 - p.moduleFileName.size(), u'x'); },
     u"EPathTooLongException: 指定されたパスが長すぎます"},
    // No name at all (Linux without /proc): never the current folder's work file.
    {"ModuleNameUnreadable", [](CountingPlatform& p) { p.moduleFileNameError = 2; },
     u"EOSError: システム エラー。コード: 2。", true},
};

INSTANTIATE_TEST_SUITE_P(Faults, RunDriverFaultTest, ::testing::ValuesIn(faultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunFixture, SaveWriteShortThenCompletedIsSuccess) {
  WriteBytes(WorkFile(), hostBytes);
  platform_.shortWriteAt = copyWrites + 1;
  Run();
  EXPECT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
}

TEST_F(RunFixture, RefusedFolderClaimLeavesTheRunAsBefore) {
  WriteBytes(WorkFile(), hostBytes);
  platform_.claimFault = {1, 5};
  Run();
  EXPECT_EQ(platform_.claimFault.calls, 1);
  EXPECT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
  EXPECT_EQ(platform_.HandlesLeftOpen(), 0u);
}

// Each flush comes before the delete that would leave its file the only copy.
TEST_F(RunFixture, FlushesComeBeforeTheDeletesTheyGuard) {
  WriteBytes(WorkFile(), hostBytes);
  Run();
  ASSERT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
  std::vector<std::string> order;
  for (const CallRecord& call : platform_.Trace()) {
    const std::string function = call.function;
    if (function == "FlushFileBuffers" || function == "FlushFolder" || function == "ClaimFolder")
      order.push_back(function);
    if (function == "DeleteFile")
      order.push_back(function + " " + call.argument.substr(call.argument.find_last_of("/\\") + 1));
  }
  const std::vector<std::string> expected{
      "ClaimFolder",      "FlushFileBuffers", "FlushFolder",        "DeleteFile JWC_TEMP.TXT",
      "FlushFileBuffers", "FlushFolder",      "DeleteFile TEMP.TXT"};
  EXPECT_EQ(order, expected) << platform_.TraceText();
}

TEST_F(RunFixture, RestoreByRenameIsFollowedByAFolderFlush) {
  WriteBytes(WorkFile(), hostBytes);
  platform_.writeFault = {copyWrites + 1, 112, true};
  Run();
  ASSERT_EQ(ReadBytes(WorkFile()), hostBytes);
  const auto& trace = platform_.Trace();
  auto rename = std::find_if(trace.begin(), trace.end(), [](const CallRecord& call) {
    return std::string(call.function) == "MoveFileReplacing";
  });
  ASSERT_NE(rename, trace.end());
  ASSERT_NE(rename + 1, trace.end());
  EXPECT_STREQ((rename + 1)->function, "FlushFolder");
}

// Written and flushed, but its name may not be on the disk: the scratch copy
// stays as a second copy, and the next run replaces it.
TEST_F(RunFixture, WorkFileNameNotFlushedKeepsTheScratchCopy) {
  WriteBytes(WorkFile(), hostBytes);
  platform_.folderFlushFault = {2, 1117};
  Run();
  EXPECT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
  EXPECT_EQ(ReadBytes(ScratchFile()), hostBytes);
  EXPECT_EQ(platform_.stdoutBytes, "");
}

TEST_F(RunFixture, StaleScratchCopyThatCannotBeCreatedIsNeverTakenForTheHostsData) {
  const std::string stale = "STALE\r\nXXXX";  // same size as the host's bytes
  ASSERT_EQ(stale.size(), hostBytes.size());
  WriteBytes(WorkFile(), hostBytes);
  WriteBytes(ScratchFile(), stale);
  // Another program holds it: it can be neither removed nor created.
  platform_.deleteFault = {1, 32};
  platform_.createFaultName = u"TEMP.TXT";
  platform_.createFault = {1, 32};
  Run();
  EXPECT_EQ(ReadBytes(WorkFile()), hostBytes);
  EXPECT_EQ(ReadBytes(ScratchFile()), stale);
  EXPECT_TRUE(platform_.stdoutBytes.starts_with("EInOutError: ")) << platform_.stdoutBytes;
}

TEST_F(RunFixture, ScratchNameThatIsAHardLinkToTheWorkFileIsReplaced) {
  WriteBytes(WorkFile(), hostBytes);
  std::error_code error;
  std::filesystem::create_hard_link(WorkFile(), ScratchFile(), error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  Run();
#ifdef _WIN32
  // The copy holds the work file open, so Windows refuses to delete its other
  // name: the copy stops and the work file is left as it was.
  EXPECT_EQ(ReadBytes(WorkFile()), hostBytes);
  EXPECT_EQ(platform_.stdoutBytes, ReportBytes(u"EInOutError: I/O エラー 32"));
#else
  EXPECT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
#endif
}

TEST_F(RunFixture, ScratchNameThatIsAHardLinkToAnotherFileLeavesThatFileAlone) {
  WriteBytes(WorkFile(), hostBytes);
  WriteBytes(dir_.Path() / "other.txt", "other");
  std::error_code error;
  std::filesystem::create_hard_link(dir_.Path() / "other.txt", ScratchFile(), error);
  if (error) GTEST_SKIP() << "no hard links here: " << error.message();
  Run();
  EXPECT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
  EXPECT_EQ(ReadBytes(dir_.Path() / "other.txt"), "other");
}

#ifndef _WIN32
// Symbolic links stand in for reparse points; Wine cannot make them.
TEST_F(RunFixture, VolumeOfALinkedWorkFileThatCannotBeAskedIsReported) {
  WriteBytes(dir_.Path() / "real.txt", hostBytes);
  std::filesystem::create_symlink(dir_.Path() / "real.txt", WorkFile());
  platform_.volumeFault = {1, 21};
  Run();
  const std::string head = ReportBytes(u"EOSError: システム エラー。コード: 21。");
  ASSERT_GE(platform_.stdoutBytes.size(), head.size());
  EXPECT_EQ(platform_.stdoutBytes.substr(0, head.size()), head);
  EXPECT_TRUE(std::filesystem::is_symlink(WorkFile()));
  EXPECT_EQ(ReadBytes(dir_.Path() / "real.txt"), hostBytes);
  EXPECT_EQ(Listing(), (std::set<std::string>{"JWC_TEMP.TXT", "real.txt"}));
}

// Someone plants a link to a file outside the folder under the work file's
// name as soon as the run has deleted it: the new work file replaces the
// link, and the file it leads to is never written.
TEST_F(RunFixture, LinkPlantedAsTheWorkFileAfterItsDeleteIsReplaced) {
  class Planting : public ForwardingPlatform {
   public:
    Planting(platform::Platform& inner, std::filesystem::path work, std::filesystem::path outside)
        : ForwardingPlatform(inner), work_(std::move(work)), outside_(std::move(outside)) {}
    bool DeleteFile(TextView name) override {
      const bool deleted = Inner().DeleteFile(name);
      if (deleted && std::filesystem::path(name) == work_)
        std::filesystem::create_symlink(outside_, work_);
      return deleted;
    }

   private:
    std::filesystem::path work_, outside_;
  };
  const std::filesystem::path outside = dir_.Path() / "outside.txt";
  WriteBytes(outside, "outside");
  WriteBytes(WorkFile(), hostBytes);
  Planting planting(platform_, WorkFile(), outside);
  const platform::ScopedPlatform scope(planting);
  Run();
  EXPECT_EQ(platform_.stdoutBytes, "");
  EXPECT_FALSE(std::filesystem::is_symlink(WorkFile()));
  EXPECT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
  EXPECT_EQ(ReadBytes(outside), "outside");
}

TEST_F(RunFixture, LinkedWorkFileIsReadThroughItsLink) {
  WriteBytes(dir_.Path() / "real.txt", hostBytes);
  std::filesystem::create_symlink(dir_.Path() / "real.txt", WorkFile());
  Run();
  EXPECT_EQ(platform_.stdoutBytes, "");
  EXPECT_EQ(ReadBytes(WorkFile()), rewrittenBytes);
}
#endif

TEST_F(RunFixture, RestoreRefusedLeavesHostBytesInScratchCopy) {
  WriteBytes(WorkFile(), hostBytes);
  platform_.readFault = {copyReads + 1, 23};
  platform_.moveFault = {1, 5};
  // The work file is opened by the copy's read, then by the restoring copy.
  platform_.createFaultName = u"JWC_TEMP.TXT";
  platform_.createFault = {2, 5, true};
  Run();
  EXPECT_FALSE(std::filesystem::exists(WorkFile()));
  EXPECT_EQ(ReadBytes(ScratchFile()), hostBytes);
}

TEST_F(RunFixture, WorkFileThatCannotBeOpenedReports103) {
  WriteBytes(WorkFile(), hostBytes);
  platform_.createFault = {1, 32};
  Run();
  EXPECT_EQ(platform_.stdoutBytes, ReportBytes(u"EInOutError: I/O エラー 103"));
  EXPECT_EQ(ReadBytes(WorkFile()), hostBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
}

TEST_F(RunFixture, LowerCasingFailureIsReportedAndHostBytesComeBack) {
  WriteBytes(WorkFile(), utf16HostBytes);
  platform_.lowerCaseFault = {1, 87};
  Run();
  const std::string head = ReportBytes(u"EOSError: システム エラー。コード: 87。");
  ASSERT_GE(platform_.stdoutBytes.size(), head.size());
  EXPECT_EQ(platform_.stdoutBytes.substr(0, head.size()), head);
  EXPECT_TRUE(platform_.stdoutBytes.ends_with("\r\n"));
  EXPECT_EQ(ReadBytes(WorkFile()), utf16HostBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
}

TEST_F(RunFixture, ReportedFailureWhileWorkFileIsHeldRemovesTheDuplicate) {
  WriteBytes(WorkFile(), utf16HostBytes);
  platform_.deleteFault = {1, 5};
  platform_.lowerCaseFault = {1, 87};
  Run();
  EXPECT_TRUE(platform_.stdoutBytes.starts_with("EOSError: "));
  EXPECT_EQ(ReadBytes(WorkFile()), utf16HostBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
}

TEST_F(RunFixture, RunningOutOfMemoryIsReportedAndHostBytesComeBack) {
  WriteBytes(WorkFile(), utf16HostBytes);
  platform_.lowerCaseRunsOutOfMemory = true;
  Run();
  EXPECT_EQ(platform_.stdoutBytes, ReportBytes(u"EOutOfMemory: メモリが足りません"));
  EXPECT_EQ(ReadBytes(WorkFile()), utf16HostBytes);
  EXPECT_EQ(Listing(), onlyWorkFile);
}

TEST_F(RunFixture, ReportWithoutUsableOutputEscapesWith105) {
  platform_.stdoutType = platform::FileType::Unknown;
  try {
    Run();
    FAIL() << "the report's check did not raise";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 105);
  }
  EXPECT_EQ(platform_.stdoutBytes, "");
}

TEST_F(RunFixture, ConsoleReportIsWrittenAtItsLineEnd) {
  platform_.stdoutType = platform::FileType::Char;
  RunDriver();
  // Not yet closed: on a console the line is out as soon as it ends.
  EXPECT_FALSE(platform_.stdoutBytes.empty());
  EXPECT_TRUE(platform_.stdoutBytes.starts_with("EFileNotFoundException: "));
}

}  // namespace
}  // namespace hq2hd::testing
