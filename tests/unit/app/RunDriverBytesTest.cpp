// Whole runs: the work file's bytes before and after, what else is left and
// what is printed, every handle closed, for every row of
// tests/cases/work_files.txt.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "support/CaseTables.h"
#include "support/RunFixture.h"

namespace hq2hd::testing {
namespace {

using namespace std::string_literals;

class RunDriverBytesTest : public RunFixture, public ::testing::WithParamInterface<WorkFileRow> {};

TEST_P(RunDriverBytesTest, RewritesWorkFileExactly) {
  const WorkFileRow& row = GetParam();
  if (row.IsFile()) WriteBytes(WorkFile(), row.input);
  if (row.Has("work-file-folder")) {
    std::filesystem::create_directory(WorkFile());
    WriteBytes(WorkFile() / "inner.txt", row.input);
  }
  // The first move is the scratch copy's rename back over the work file.
  if (row.Has("rename-back-refused")) platform_.moveFault = {1, 5};
  Run();
  if (row.Has("work-file-folder")) {
    EXPECT_EQ(ReadBytes(WorkFile() / "inner.txt"), row.input);
  } else {
    for (const std::string& name : row.left) EXPECT_EQ(ReadBytes(dir_.Path() / name), *row.output);
  }
  EXPECT_EQ(Listing(), row.left);
  EXPECT_EQ(platform_.stdoutBytes, row.report.empty() ? "" : ReportBytes(row.report));
  EXPECT_EQ(platform_.HandlesLeftOpen(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RunDriverBytesTest, ::testing::ValuesIn(PinnedWorkFileRows()),
                         [](const auto& info) { return info.param.name; });

TEST_F(RunFixture, LargeFileRoundTripsInBlocks) {
  std::string input, expected;
  for (int i = 0; input.size() < 100000; ++i) {
    bool hq = i % 7 == 3;
    input += hq ? " Hq \r\n" : "line " + std::to_string(i) + "\r\n";
    expected += hq ? "hd\r\n" : "line " + std::to_string(i) + "\r\n";
  }
  WriteBytes(WorkFile(), input);
  Run();
  EXPECT_EQ(ReadBytes(WorkFile()), expected);
  EXPECT_EQ(Listing(), (std::set<std::string>{"JWC_TEMP.TXT"}));
}

// A run under another ANSI code page, through the double. The ANSI encoding is
// made once per process, so each case runs in a process of its own: a
// death-test child, which starts the test program afresh.
struct CodePageCase {
  const char* name;
  std::uint32_t ansiCodePage;
  std::string input;
  std::string expected;
};

class OtherAnsiCodePageTest : public RunFixture,
                              public ::testing::WithParamInterface<CodePageCase> {};

TEST_P(OtherAnsiCodePageTest, RewritesWorkFileExactly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        platform_.ansiCodePage = GetParam().ansiCodePage;
        WriteBytes(WorkFile(), GetParam().input);
        Run();
        const std::string written = ReadBytes(WorkFile());
        const bool same = written == GetParam().expected;
        const bool alone = Listing() == std::set<std::string>{"JWC_TEMP.TXT"};
        for (unsigned char byte : written) std::fprintf(stderr, "%02X ", byte);
        std::fprintf(stderr, "written; alone %d, stdout %zu bytes\n", alone ? 1 : 0,
                     platform_.stdoutBytes.size());
        std::exit(same && alone && platform_.stdoutBytes.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

const CodePageCase codePageCases[] = {
    // Code page 65001 writes a file without a mark back with EF BB BF, its
    // preamble, and bytes it cannot read as they were.
    {"Utf8AnsiKeepsUnreadableBytes", 65001, "a\r\n\xC3(\r\n HQ\r\n",
     "\xEF\xBB\xBF"
     "a\r\n\xC3(\r\nhd\r\n"},
    {"Utf8AnsiEmptyGetsMark", 65001, "", "\xEF\xBB\xBF"},
    {"Utf8AnsiMarkIsUtf8", 65001, "\xEF\xBB\xBF\xE3\x81\x82\r\nhq",
     "\xEF\xBB\xBF\xE3\x81\x82\r\nhd\r\n"},
    {"Utf8AnsiUtf16GetsMark", 65001, "\xFF\xFE\x42\x30"s, "\xEF\xBB\xBF\xE3\x81\x82\r\n"},
    // A single-byte page keeps its bytes; no mark.
    {"SingleByteKeepsBytes", 1252, "caf\xE9\r\n\thq \r\n\x80", "caf\xE9\r\nhd\r\n\x80\r\n"},
    {"SingleByteFromUtf16", 1252, "\xFF\xFE\xE9\x00"s, "\xE9\r\n"},
};

INSTANTIATE_TEST_SUITE_P(CodePages, OtherAnsiCodePageTest, ::testing::ValuesIn(codePageCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Past one output piece of 1 MiB, with lines of every kind of break.
TEST_F(RunFixture, WorkFileOfSeveralPiecesRoundTrips) {
  std::string input, expected;
  const char* const breaks[] = {"\r\n", "\n", "\r"};
  for (int i = 0; input.size() < (std::size_t{5} << 19); ++i) {
    const bool hq = i % 7 == 3;
    input += (hq ? std::string(" Hq ") : "\x82\xA0 " + std::to_string(i)) + breaks[i % 3];
    expected += (hq ? std::string("hd") : "\x82\xA0 " + std::to_string(i)) + "\r\n";
  }
  WriteBytes(WorkFile(), input);
  Run();
  EXPECT_TRUE(ReadBytes(WorkFile()) == expected);
  EXPECT_EQ(Listing(), (std::set<std::string>{"JWC_TEMP.TXT"}));
  EXPECT_EQ(platform_.stdoutBytes, "");
}

}  // namespace
}  // namespace hq2hd::testing
