// A work file of one line of 100 MB comes back whole.
#include <gtest/gtest.h>

#include "fault/AnomalyRun.h"

namespace hq2hd::testing {
namespace {

TEST(LargeLine, HundredMegabyteLineRoundTrips) {
  constexpr std::size_t size = 100u * 1024 * 1024;
  const std::string pattern = "abc \x82\xA0 hq ";
  WorkFileCase workFile{"HundredMegabyteLine", {}, {}, false};
  workFile.hostBytes.reserve(size);
  while (workFile.hostBytes.size() + pattern.size() <= size) workFile.hostBytes += pattern;
  workFile.hostBytes.resize(size, 'x');
  workFile.expectedBytes = workFile.hostBytes + "\r\n";

  AnomalyRunner runner;
  const RunOutcome outcome = runner.Run(workFile, [](auto&) {});
  EXPECT_EQ(outcome.stdoutBytes, "");
  EXPECT_FALSE(outcome.scratchBytes.has_value());
  ASSERT_TRUE(outcome.workBytes.has_value());
  ASSERT_EQ(outcome.workBytes->size(), workFile.expectedBytes.size());
  EXPECT_TRUE(*outcome.workBytes == workFile.expectedBytes);
}

}  // namespace
}  // namespace hq2hd::testing
