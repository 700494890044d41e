// The scratch copy TEMP.TXT as something the program must not trust: a link
// left at its name.
#include <gtest/gtest.h>

#include <filesystem>

#include "fault/AnomalyRun.h"

namespace hq2hd::testing {
namespace {

namespace fs = std::filesystem;

const WorkFileCase workFile{"Hq", "a\r\nhq\r\n", "a\r\nhd\r\n", true};

struct ScratchLink {
  const char* name;
  // Where the link at TEMP.TXT leads, relative to the folder.
  const char* target;
  // Made before the run, when not null; must be left as it was.
  const char* targetContent;
};

class ScratchLinkTest : public ::testing::TestWithParam<ScratchLink> {};

// A link at the scratch name is replaced, never written through: neither the
// file it leads to (the work file itself, even) nor the link survives.
TEST_P(ScratchLinkTest, LinkIsReplacedNotWrittenThrough) {
  AnomalyRunner runner;
  const fs::path folder = runner.Folder().Path();
  runner.ClearFolder();
  WriteBytes(folder / "JWC_TEMP.TXT", workFile.hostBytes);
  const std::string target = GetParam().target;
  if (GetParam().targetContent != nullptr) {
    if (target.ends_with("/")) {
      fs::create_directory(folder / target);
    } else if (target != "JWC_TEMP.TXT") {
      WriteBytes(folder / target, GetParam().targetContent);
    }
  }
  fs::create_symlink(target, folder / "TEMP.TXT");

  const RunOutcome outcome = runner.RunAsIs([](auto&) {});
  EXPECT_EQ(outcome.stdoutBytes, "");
  ASSERT_TRUE(outcome.workBytes.has_value()) << runner.Evidence(outcome);
  EXPECT_EQ(*outcome.workBytes, workFile.expectedBytes);
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "TEMP.TXT")));
  if (GetParam().targetContent != nullptr && !target.ends_with("/") && target != "JWC_TEMP.TXT") {
    EXPECT_EQ(ReadBytes(folder / target), GetParam().targetContent);
  }
  if (target.ends_with("/")) {
    EXPECT_TRUE(fs::is_empty(folder / target));
  }
}

const ScratchLink scratchLinks[] = {
    {"ToAnotherFile", "other.txt", "other data"},
    {"ToTheWorkFile", "JWC_TEMP.TXT", ""},
    {"ToNowhere", "missing.txt", nullptr},
    {"ToAFolder", "folder/", ""},
};

INSTANTIATE_TEST_SUITE_P(Links, ScratchLinkTest, ::testing::ValuesIn(scratchLinks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
