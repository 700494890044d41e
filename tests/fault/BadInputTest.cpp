// Work files that are odd in their bytes or in what they are on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "fault/AnomalyRun.h"

namespace hq2hd::testing {
namespace {

namespace fs = std::filesystem;

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
