#include <gtest/gtest.h>

#include "fs/PathChecks.h"
#include "report/Exception.h"
#include "report/OsMessage.h"
#include "support/CountingPlatform.h"

namespace hq2hd::testing {
namespace {

TEST(FullPathOfTest, LongResultTakesASecondCallAndIsWhole) {
  const Text relative = Text(150, u'a') + u"\\" + Text(150, u'b');
  const Text full = FullPathOf(relative);
  EXPECT_GT(full.size(), 300u);
  EXPECT_TRUE(full.ends_with(Text(150, u'b')));
}

TEST(FullPathOfTest, ErrorOtherThan0And2RaisesNotSupportedWithTheSystemsText) {
  CountingPlatform fake;
  platform::ScopedPlatform scope(fake);
  fake.fullPathError = 87;
  try {
    FullPathOf(u"x.txt");
    FAIL() << "nothing raised";
  } catch (const ENotSupportedException& failure) {
    EXPECT_EQ(failure.Message(), OsMessage(87));
  }
  fake.fullPathError = 2;
  EXPECT_NO_THROW(FullPathOf(u"x.txt"));
}

TEST(FullPathOfTest, ErrorWithoutSystemTextGivesEmptyMessage) {
  CountingPlatform fake;
  platform::ScopedPlatform scope(fake);
  fake.fullPathError = 0x3FFFFFF0u;
  try {
    FullPathOf(u"x.txt");
    FAIL() << "nothing raised";
  } catch (const ENotSupportedException& failure) {
    EXPECT_EQ(failure.Message(), u"");
  }
}

}  // namespace
}  // namespace hq2hd::testing
