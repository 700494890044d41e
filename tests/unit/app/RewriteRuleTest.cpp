#include "app/RewriteRule.h"

#include <gtest/gtest.h>

namespace hq2hd {
namespace {

struct RuleCase {
  std::u16string line;
  bool matches;
};

class RewriteRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RewriteRuleTest, MatchesOnlyTrimmedHqInAnyCase) {
  EXPECT_EQ(IsHqLine(GetParam().line), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RewriteRuleTest,
    ::testing::Values(RuleCase{u"hq", true}, RuleCase{u"HQ", true}, RuleCase{u"Hq", true},
                      RuleCase{u"hQ", true}, RuleCase{u"  HQ\t", true},
                      RuleCase{u"\r\n\x01hq\x1F \x20", true},
                      RuleCase{std::u16string(u"\0hq\0", 4), true}, RuleCase{u"", false},
                      RuleCase{u"   ", false}, RuleCase{u"h q", false}, RuleCase{u"hq1", false},
                      RuleCase{u"hqhq", false}, RuleCase{u"hd", false},
                      RuleCase{u"\uFF48\uFF51", false}, RuleCase{u"\u3000hq", false},
                      RuleCase{u"hq\u00A0", false}, RuleCase{u"h", false}));

}  // namespace
}  // namespace hq2hd
