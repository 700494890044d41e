#include <gtest/gtest.h>

#include "app/RewriteRule.h"
#include "support/CaseTables.h"

namespace hq2hd::testing {
namespace {

// The lines of tests/cases/rewrite_rule.txt.
class RewriteRuleTest : public ::testing::TestWithParam<RuleRow> {};

TEST_P(RewriteRuleTest, MatchesOnlyTrimmedHqInAnyCase) {
  EXPECT_EQ(IsHqLine(GetParam().line), GetParam().becomesHd);
}

INSTANTIATE_TEST_SUITE_P(Lines, RewriteRuleTest, ::testing::ValuesIn(RuleRows()));

}  // namespace
}  // namespace hq2hd::testing
