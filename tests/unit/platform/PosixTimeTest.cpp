#ifndef _WIN32
#include <gtest/gtest.h>

#include "platform/Platform.h"

namespace hq2hd::platform {
namespace {

struct DateCase {
  std::uint64_t ticks;
  SystemTime fields;  // year, month, dayOfWeek, day, hour, minute, second, ms
};

class KnownDates : public testing::TestWithParam<DateCase> {};

TEST_P(KnownDates, SplitAndJoinAgree) {
  Platform& os = NativePlatform();
  SystemTime fields;
  ASSERT_TRUE(os.FileTimeToSystemTime(FileTime{GetParam().ticks}, fields));
  const SystemTime& e = GetParam().fields;
  EXPECT_EQ(fields.year, e.year);
  EXPECT_EQ(fields.month, e.month);
  EXPECT_EQ(fields.dayOfWeek, e.dayOfWeek);
  EXPECT_EQ(fields.day, e.day);
  EXPECT_EQ(fields.hour, e.hour);
  EXPECT_EQ(fields.minute, e.minute);
  EXPECT_EQ(fields.second, e.second);
  EXPECT_EQ(fields.milliseconds, e.milliseconds);

  SystemTime input = e;
  input.dayOfWeek = 6;  // ignored on input
  FileTime joined;
  ASSERT_TRUE(os.SystemTimeToFileTime(input, joined));
  // Joining drops what lies below a millisecond.
  EXPECT_EQ(joined.ticks, GetParam().ticks - GetParam().ticks % 10'000);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KnownDates,
    testing::Values(DateCase{0, {1601, 1, 1, 1, 0, 0, 0, 0}},
                    DateCase{116444736000000000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},
                    // 2000-02-29 12:34:56.789, leap day of a year divisible by 400.
                    DateCase{125963012967890000ull, {2000, 2, 2, 29, 12, 34, 56, 789}},
                    DateCase{125963012967899999ull, {2000, 2, 2, 29, 12, 34, 56, 789}},
                    DateCase{125911584000000000ull - 1, {1999, 12, 5, 31, 23, 59, 59, 999}},
                    // 1899-12-30, the zero date-time of the program's callers.
                    DateCase{94353120000000000ull, {1899, 12, 6, 30, 0, 0, 0, 0}}));

// The last file time splits, though its year is past what joins back.
TEST(FileTimeToSystemTime, SplitsTheLargestFileTime) {
  SystemTime fields;
  ASSERT_TRUE(NativePlatform().FileTimeToSystemTime(FileTime{0x7FFFFFFFFFFFFFFFull}, fields));
  EXPECT_EQ(fields.year, 30828);
  EXPECT_EQ(fields.month, 9);
  EXPECT_EQ(fields.day, 14);
  EXPECT_EQ(fields.dayOfWeek, 4);
  EXPECT_EQ(fields.hour, 2);
  EXPECT_EQ(fields.minute, 48);
  EXPECT_EQ(fields.second, 5);
  EXPECT_EQ(fields.milliseconds, 477);
}

TEST(FileTimeToSystemTime, RefusesTicksAtOrAbove2To63) {
  SystemTime fields;
  NativePlatform().SetLastError(0);
  EXPECT_FALSE(NativePlatform().FileTimeToSystemTime(FileTime{0x8000000000000000ull}, fields));
  EXPECT_EQ(NativePlatform().LastError(), error::InvalidParameter);
}

struct InvalidFieldsCase {
  const char* what;
  SystemTime fields;
};

class InvalidFields : public testing::TestWithParam<InvalidFieldsCase> {};

TEST_P(InvalidFields, AreRefusedWithInvalidParameter) {
  FileTime time{12345};
  NativePlatform().SetLastError(0);
  EXPECT_FALSE(NativePlatform().SystemTimeToFileTime(GetParam().fields, time)) << GetParam().what;
  EXPECT_EQ(NativePlatform().LastError(), error::InvalidParameter);
  EXPECT_EQ(time.ticks, 12345u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InvalidFields,
    testing::Values(InvalidFieldsCase{"year 1600", {1600, 12, 0, 31, 0, 0, 0, 0}},
                    InvalidFieldsCase{"year 30828", {30828, 1, 0, 1, 0, 0, 0, 0}},
                    InvalidFieldsCase{"month 0", {2000, 0, 0, 1, 0, 0, 0, 0}},
                    InvalidFieldsCase{"month 13", {2000, 13, 0, 1, 0, 0, 0, 0}},
                    InvalidFieldsCase{"day 0", {2000, 1, 0, 0, 0, 0, 0, 0}},
                    InvalidFieldsCase{"1900-02-29", {1900, 2, 0, 29, 0, 0, 0, 0}},
                    InvalidFieldsCase{"April 31", {2001, 4, 0, 31, 0, 0, 0, 0}},
                    InvalidFieldsCase{"hour 24", {2000, 1, 0, 1, 24, 0, 0, 0}},
                    InvalidFieldsCase{"minute 60", {2000, 1, 0, 1, 0, 60, 0, 0}},
                    InvalidFieldsCase{"second 60", {2000, 1, 0, 1, 0, 0, 60, 0}},
                    InvalidFieldsCase{"ms 1000", {2000, 1, 0, 1, 0, 0, 0, 1000}}));

TEST(CalendarRoundTrip, EveryDayFrom1601To2500SplitsAndJoinsBack) {
  Platform& os = NativePlatform();
  constexpr std::uint64_t kDay = 864'000'000'000ull;
  std::uint16_t previousDayOfWeek = 0;
  for (std::uint64_t day = 0; day < 328'718; ++day) {
    const FileTime time{day * kDay + 37'231'230'000ull};  // 01:02:03.123
    SystemTime fields;
    ASSERT_TRUE(os.FileTimeToSystemTime(time, fields));
    if (day > 0) {
      ASSERT_EQ(fields.dayOfWeek, (previousDayOfWeek + 1) % 7) << day;
    }
    previousDayOfWeek = fields.dayOfWeek;
    FileTime back;
    ASSERT_TRUE(os.SystemTimeToFileTime(fields, back));
    ASSERT_EQ(back, time) << day;
  }
}

TEST(LocalFileTime, RoundTripsWithTheBiasInForceNow) {
  Platform& os = NativePlatform();
  for (std::uint64_t ticks : {116444736000000000ull, 133000000000000000ull, 5'000'000'000'000ull}) {
    FileTime local, utc;
    ASSERT_TRUE(os.FileTimeToLocalFileTime(FileTime{ticks}, local));
    ASSERT_TRUE(os.LocalFileTimeToFileTime(local, utc));
    EXPECT_EQ(utc.ticks, ticks);
    // One bias for every date, whatever daylight saving did then.
    FileTime otherLocal;
    ASSERT_TRUE(os.FileTimeToLocalFileTime(FileTime{ticks + 180 * 864'000'000'000ull}, otherLocal));
    EXPECT_EQ(otherLocal.ticks - local.ticks, 180 * 864'000'000'000ull);
  }
}

TEST(LocalFileTime, RefusesTicksAbove2To63) {
  FileTime out;
  NativePlatform().SetLastError(0);
  EXPECT_FALSE(NativePlatform().FileTimeToLocalFileTime(FileTime{0x8000000000000000ull}, out));
  EXPECT_EQ(NativePlatform().LastError(), error::InvalidParameter);
}

}  // namespace
}  // namespace hq2hd::platform
#endif
