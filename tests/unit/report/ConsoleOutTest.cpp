// The report line's bytes: code page, buffering and line ends by what the
// standard output is; and the unhandled failure report.
#include <gtest/gtest.h>

#include "platform/IoStatus.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"
#include "report/RuntimeError.h"
#include "report/UnhandledFailure.h"
#include "support/CountingPlatform.h"

namespace hq2hd::testing {
namespace {

class ConsoleOutTest : public ::testing::Test {
 protected:
  ConsoleOutTest() : scope_(platform_) {
    ConsoleOut::Instance().Reset();
    IoStatus::Take();
    platform_.moduleFileName = u"C:\\tools\\hq2hd.exe";
  }
  ~ConsoleOutTest() override {
    ConsoleOut::Instance().Reset();
    IoStatus::Take();
  }
  CountingPlatform platform_;

 private:
  platform::ScopedPlatform scope_;
};

const std::string fileNotFound932 =
    "EFileNotFoundException: "
    "\x8e\x77\x92\xe8\x82\xb3\x82\xea\x82\xbd\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8c\xa9\x82"
    "\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\r\n";

// A file or a pipe gets the ANSI code page, and the line at its end: a line
// that cannot be written must be known before the run ends.
TEST_F(ConsoleOutTest, RedirectedReportIsCodePage932AndGoesOutAtItsLineEnd) {
  for (platform::FileType type : {platform::FileType::Disk, platform::FileType::Pipe}) {
    ConsoleOut::Instance().Reset();
    platform_.stdoutBytes.clear();
    platform_.stdoutType = type;
    WriteFailureReport("EFileNotFoundException", u"指定されたファイルが見つかりません");
    EXPECT_EQ(platform_.stdoutBytes, fileNotFound932);
    ConsoleOut::Instance().CloseAtExit();
    EXPECT_EQ(platform_.stdoutBytes, fileNotFound932);
  }
}

// A pipe without a reader, a full disk, a console gone: the report's check
// raises the code, and the failure leaves the run as an unhandled one (exit
// code 1).
TEST_F(ConsoleOutTest, ReportThatCannotBeWrittenRaisesItsCode) {
  for (platform::FileType type :
       {platform::FileType::Disk, platform::FileType::Pipe, platform::FileType::Char}) {
    for (std::uint32_t error : {109u, 112u}) {
      ConsoleOut::Instance().Reset();
      platform_.stdoutType = type;
      platform_.stdoutWriteError = error;
      try {
        WriteFailureReport("EFileNotFoundException", u"指定されたファイルが見つかりません");
        ADD_FAILURE() << "the report's check did not raise for error " << error;
      } catch (const EInOutError& failure) {
        EXPECT_EQ(failure.ErrorCode(), static_cast<std::int32_t>(error));
      }
      EXPECT_EQ(IoStatus::Peek(), 0);
    }
  }
}

TEST_F(ConsoleOutTest, ConsoleGetsItsOwnCodePageAtTheLineEnd) {
  platform_.stdoutType = platform::FileType::Char;
  platform_.consoleCodePage = 65001;
  WriteFailureReport("EInOutError", u"I/O エラー 103");
  EXPECT_EQ(platform_.stdoutBytes, "EInOutError: I/O \xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC 103\r\n");
}

TEST_F(ConsoleOutTest, ConsoleIn932GetsTheSameBytesAsAFile) {
  platform_.stdoutType = platform::FileType::Char;
  platform_.consoleCodePage = 932;
  WriteFailureReport("EFileNotFoundException", u"指定されたファイルが見つかりません");
  EXPECT_EQ(platform_.stdoutBytes, fileNotFound932);
}

TEST_F(ConsoleOutTest, LongReportsGoOutWholeAtTheirLineEnds) {
  const Text message(100, u'x');
  WriteFailureReport("ENotSupportedException", message);  // 24 + 100 + 2 = 126 bytes
  EXPECT_EQ(platform_.stdoutBytes.size(), 126u);
  WriteFailureReport("ENotSupportedException", message);
  EXPECT_EQ(platform_.stdoutBytes.size(), 252u);
  EXPECT_EQ(platform_.stdoutBytes.substr(0, 26), "ENotSupportedException: xx");
}

TEST_F(ConsoleOutTest, ExactlyFullBufferIsWrittenAtOnce) {
  const Text message(128 - 13 - 2, u'y');  // "EInOutError: " is 13 bytes
  WriteFailureReport("EInOutError", message);
  EXPECT_EQ(platform_.stdoutBytes.size(), 128u);
}

TEST_F(ConsoleOutTest, EmptyMessageEndsInColonBlankAndLineEnd) {
  WriteFailureReport("ENotSupportedException", u"");
  ConsoleOut::Instance().CloseAtExit();
  EXPECT_EQ(platform_.stdoutBytes, "ENotSupportedException: \r\n");
}

TEST_F(ConsoleOutTest, UnusableOutputLeaves105AndTheCheckRaises) {
  platform_.stdoutType = platform::FileType::Unknown;
  try {
    WriteFailureReport("EFileNotFoundException", u"x");
    FAIL() << "nothing raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 105);
    EXPECT_EQ(failure.Message(), u"I/O エラー 105");
  }
  ConsoleOut::Instance().CloseAtExit();
  EXPECT_EQ(platform_.stdoutBytes, "");
}

TEST_F(ConsoleOutTest, UnhandledReportGoesToStandardErrorWithExitCode1) {
  EXPECT_EQ(ReportUnhandledFailure("EInOutError", u"I/O エラー 105"), 1);
  EXPECT_EQ(platform_.stdoutBytes, "");
  EXPECT_EQ(platform_.stderrBytes,
            "EInOutError \x82\xaa\x83\x82\x83\x57\x83\x85\x81\x5b\x83\x8b hq2hd.exe \x82\xcc "
            "00000000 \x82\xc5\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n"
            "I/O \x83\x47\x83\x89\x81\x5b 105.\r\n\r\n");
}

TEST_F(ConsoleOutTest, UnhandledReportAddsNoSecondPeriodAndNoneForEmpty) {
  ReportUnhandledFailure("EOSError", u"ends.");
  EXPECT_TRUE(platform_.stderrBytes.ends_with("\r\nends.\r\n\r\n"));
  platform_.stderrBytes.clear();
  ReportUnhandledFailure("EExternalException", u"");
  EXPECT_TRUE(platform_.stderrBytes.ends_with("\x81\x42\r\n\r\n\r\n"));
}

TEST_F(ConsoleOutTest, UnhandledReportFirstWritesWhatTheOutputHolds) {
  WriteFailureReport("EFileNotFoundException", u"指定されたファイルが見つかりません");
  ReportUnhandledFailure("EInOutError", u"x");
  EXPECT_EQ(platform_.stdoutBytes, fileNotFound932);
}

}  // namespace
}  // namespace hq2hd::testing

namespace hq2hd::testing {
namespace {

TEST(RuntimeErrorReportTest, Is29BytesWithRightAlignedNumberAndAddress) {
  EXPECT_EQ(RuntimeErrorReport(217, 0), "Runtime error 217 at 00000000");
  EXPECT_EQ(RuntimeErrorReport(5, 0x1A2B), "Runtime error   5 at 00001A2B");
  EXPECT_EQ(RuntimeErrorReport(217, 0xFFFFFFFFu).size(), 29u);
}

}  // namespace
}  // namespace hq2hd::testing
