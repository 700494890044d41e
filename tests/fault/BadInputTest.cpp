// Work files that are odd in their bytes or in what they are on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "fault/AnomalyRun.h"
#include "support/CaseTables.h"

namespace hq2hd::testing {
namespace {

namespace fs = std::filesystem;

// Every work file of tests/cases/work_files.txt through the counting double:
// the files the run leaves, what it prints, and every handle closed.
class OddBytesTest : public ::testing::TestWithParam<WorkFileRow> {};

TEST_P(OddBytesTest, RoundTrip) {
  const WorkFileRow& row = GetParam();
  AnomalyRunner runner;
  const fs::path folder = runner.Folder().Path();
  runner.ClearFolder();
  if (row.IsFile()) WriteBytes(folder / "JWC_TEMP.TXT", row.input);
  if (row.Has("work-file-folder")) {
    fs::create_directory(folder / "JWC_TEMP.TXT");
    WriteBytes(folder / "JWC_TEMP.TXT" / "inner.txt", row.input);
  }
  const RunOutcome outcome = runner.RunAsIs([&](CountingPlatform& platform) {
    // The first move is the scratch copy's rename back over the work file.
    if (row.Has("rename-back-refused")) platform.moveFault = {1, 5};
  });
  if (row.Has("work-file-folder")) {
    EXPECT_EQ(ReadBytes(folder / "JWC_TEMP.TXT" / "inner.txt"), row.input);
  } else {
    for (const std::string& name : row.left)
      EXPECT_EQ(ReadBytes(folder / name), *row.output) << name << "\n" << runner.Evidence(outcome);
  }
  std::set<std::string> listing;
  for (const auto& entry : fs::directory_iterator(folder))
    listing.insert(entry.path().filename().string());
  EXPECT_EQ(listing, row.left);
  EXPECT_EQ(outcome.stdoutBytes, row.report.empty() ? "" : ReportLineBytes(row.report));
  EXPECT_EQ(outcome.handlesLeftOpen, 0u);
  EXPECT_TRUE(outcome.escaped.empty()) << outcome.escaped;
}

INSTANTIATE_TEST_SUITE_P(BadInputs, OddBytesTest, ::testing::ValuesIn(PinnedWorkFileRows()),
                         [](const auto& info) { return info.param.name; });

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
