// Work files that are odd in their bytes or in what they are on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "fault/AnomalyRun.h"

namespace hq2hd::testing {
namespace {

namespace fs = std::filesystem;

std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Bytes in, bytes out: a run that succeeds silently and leaves no scratch copy.
class OddBytesTest : public ::testing::TestWithParam<WorkFileCase> {};

TEST_P(OddBytesTest, RoundTrip) {
  AnomalyRunner runner;
  const RunOutcome outcome = runner.Run(GetParam(), [](auto&) {});
  ASSERT_TRUE(outcome.workBytes.has_value()) << runner.Evidence(outcome);
  EXPECT_EQ(*outcome.workBytes, GetParam().expectedBytes);
  EXPECT_FALSE(outcome.scratchBytes.has_value());
  EXPECT_EQ(outcome.stdoutBytes, "");
  EXPECT_EQ(outcome.handlesLeftOpen, 0u);
}

const WorkFileCase oddBytes[] = {
    {"OnlyUtf8Mark", "\xEF\xBB\xBF", "\xEF\xBB\xBF", true},
    {"OnlyUtf16LeMark", "\xFF\xFE", "", true},
    {"OnlyUtf16BeMark", "\xFE\xFF", "", true},
    // The second mark is the text's first character, U+FEFF.
    {"TwoUtf8Marks", "\xEF\xBB\xBF\xEF\xBB\xBF", "\xEF\xBB\xBF\xEF\xBB\xBF\r\n", true},
    {"OddLengthUtf16Le", Bytes({0xFF, 0xFE, 'h', 0, 'q', 0, '\r'}), "hd\r\n", true},
    {"OddLengthUtf16Be", Bytes({0xFE, 0xFF, 0, 'H', 0, 'Q', 0}), "hd\r\n", true},
    // Code page 932 has no code for a lone surrogate: '?' stands in for it.
    {"LoneHighSurrogate", Bytes({0xFF, 0xFE, 0x00, 0xD8, '\r', 0, '\n', 0, 'h', 0, 'q', 0}),
     "?\r\nhd\r\n", true},
    {"LoneLowSurrogateBeforeLetter", Bytes({0xFF, 0xFE, 0x00, 0xDC, 'a', 0}), "?a\r\n", true},
    {"SwappedSurrogatePair", Bytes({0xFF, 0xFE, 0x00, 0xDC, 0x3D, 0xD8}), "??\r\n", true},
    // U+0000 is an ordinary character, and up to 0x20, so trimmed for the rule.
    {"NulInCodePage932", Bytes({'a', 0, 'b', '\r', '\n', 0, '\r', '\n', 'h', 'q', 0}),
     Bytes({'a', 0, 'b', '\r', '\n', 0, '\r', '\n', 'h', 'd', '\r', '\n'}), true},
    {"Utf16WithoutMarkIsCodePage932", Bytes({'h', 0, 'q', 0, '\r', 0, '\n', 0}),
     Bytes({'h', 0, 'q', 0, '\r', '\n', 0, '\r', '\n', 0, '\r', '\n'}), true},
    {"NulAfterHqInUtf8", Bytes({0xEF, 0xBB, 0xBF, 'h', 'q', 0}), "\xEF\xBB\xBFhd\r\n", true},
    {"NulUnitsInUtf16Le", Bytes({0xFF, 0xFE, 0, 0, 'h', 0, 'q', 0, 0, 0}), "hd\r\n", true},
    // Bytes that are no code of 932 come back as they were, and so does all
    // of a file that holds one: the codes that a valid file gives as others
    // (87 90 as 81 E0) stay too, before and after such bytes.
    {"CodePage932SingleBytesWithoutCode", "x\xA0\xFD\xFE\xFF\r\nhq", "x\xA0\xFD\xFE\xFF\r\nhd\r\n",
     true},
    {"CodePage932LeadByteAtEnd", "hq\r\n\x82", "hd\r\n\x82\r\n", true},
    {"CodePage932LeadByteBeforeLineBreak", "\x82\r\nhq", "\x82\r\nhd\r\n", true},
    {"CodePage932SharedCodeBeforeInvalid", "\x87\x90\r\nhq\n\x85\x40\x87\x90",
     "\x87\x90\r\nhd\r\n\x85\x40\x87\x90\r\n", true},
    {"CodePage932SharedCodeOfValidFile", "\x87\x90\r\nhq\n\xED\x40",
     "\x81\xE0\r\nhd\r\n\xFA\x5C\r\n", true},
    {"Utf8WithoutMark", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\r\nhq",
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\r\nhd\r\n", true},
};

INSTANTIATE_TEST_SUITE_P(BadInputs, OddBytesTest, ::testing::ValuesIn(oddBytes),
                         [](const auto& info) { return std::string(info.param.name); });

const std::string hostBytes = "a\r\nhq\r\n";
const std::string rewrittenBytes = "a\r\nhd\r\n";

// What the work file is on disk, and what a run must leave.
struct OddWorkFile {
  const char* name;
  void (*arrange)(const fs::path& folder, CountingPlatform& platform);
  // The report expected on the standard output; none when empty.
  const char16_t* report;
  void (*check)(const fs::path& folder);
};

class OddWorkFileTest : public ::testing::TestWithParam<OddWorkFile> {};

TEST_P(OddWorkFileTest, LeavesWhatTheHostNeeds) {
  AnomalyRunner runner;
  const fs::path folder = runner.Folder().Path();
  runner.ClearFolder();
  const RunOutcome outcome =
      runner.RunAsIs([&](CountingPlatform& p) { GetParam().arrange(folder, p); });
  const std::u16string report = GetParam().report;
  EXPECT_EQ(outcome.stdoutBytes, report.empty() ? "" : ReportLineBytes(report));
  EXPECT_EQ(outcome.handlesLeftOpen, 0u);
  EXPECT_TRUE(outcome.escaped.empty()) << outcome.escaped;
  GetParam().check(folder);
}

const char16_t* const fileNotFound = u"EFileNotFoundException: 指定されたファイルが見つかりません";

const OddWorkFile oddWorkFiles[] = {
    {"Folder",
     [](const fs::path& folder, CountingPlatform&) {
       fs::create_directory(folder / "JWC_TEMP.TXT");
     },
     fileNotFound,
     [](const fs::path& folder) {
       EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder / "JWC_TEMP.TXT")));
       EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "TEMP.TXT")));
     }},
    // The host's data is read through the link; the link gives way to a file.
    {"LinkToFile",
     [](const fs::path& folder, CountingPlatform&) {
       WriteBytes(folder / "data.txt", hostBytes);
       fs::create_symlink("data.txt", folder / "JWC_TEMP.TXT");
     },
     u"",
     [](const fs::path& folder) {
       EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "JWC_TEMP.TXT")));
       EXPECT_EQ(ReadBytes(folder / "JWC_TEMP.TXT"), rewrittenBytes);
       EXPECT_EQ(ReadBytes(folder / "data.txt"), hostBytes);
       EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "TEMP.TXT")));
     }},
    {"LinkToNowhere",
     [](const fs::path& folder, CountingPlatform&) {
       fs::create_symlink("missing.txt", folder / "JWC_TEMP.TXT");
     },
     fileNotFound,
     [](const fs::path& folder) {
       EXPECT_TRUE(fs::is_symlink(folder / "JWC_TEMP.TXT"));
       EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "TEMP.TXT")));
       EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "missing.txt")));
     }},
    // No scratch copy can be made, so the work file is never touched.
    {"FolderThatCannotBeWritten",
     [](const fs::path& folder, CountingPlatform& platform) {
       WriteBytes(folder / "JWC_TEMP.TXT", hostBytes);
       platform.RefuseWrites();
     },
     u"EInOutError: ファイルへのアクセスが拒否されました",
     [](const fs::path& folder) {
       EXPECT_EQ(ReadBytes(folder / "JWC_TEMP.TXT"), hostBytes);
       EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "TEMP.TXT")));
     }},
    // The scratch copy's name is the program's: a folder there stops the copy.
    {"ScratchNameIsAFolder",
     [](const fs::path& folder, CountingPlatform&) {
       WriteBytes(folder / "JWC_TEMP.TXT", hostBytes);
       fs::create_directory(folder / "TEMP.TXT");
     },
     u"EInOutError: ファイルへのアクセスが拒否されました",
     [](const fs::path& folder) {
       EXPECT_EQ(ReadBytes(folder / "JWC_TEMP.TXT"), hostBytes);
       EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder / "TEMP.TXT")));
     }},
};

INSTANTIATE_TEST_SUITE_P(BadInputs, OddWorkFileTest, ::testing::ValuesIn(oddWorkFiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
