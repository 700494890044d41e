#include "platform/posix/CalendarTime.h"

namespace hq2hd::platform::posix {
namespace {

inline constexpr std::uint64_t kTicksPerMillisecond = 10'000;
inline constexpr std::uint64_t kTicksPerDay = kTicksPerSecond * 86'400;
inline constexpr std::uint64_t kLargestFileTime = 0x7FFF'FFFF'FFFF'FFFFull;
// Days from 0000-03-01 (the start of the shifted year used below) to
// 1601-01-01.
inline constexpr std::int64_t kDaysTo1601 = 584'694;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 0000-03-01 for a civil date; years start in March so that the
// leap day is the last day of its year.
std::int64_t DayNumber(std::int64_t year, int month, int day) {
  if (month <= 2) --year;
  const std::int64_t era = year / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const int shiftedMonth = month > 2 ? month - 3 : month + 9;
  const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146'097 + dayOfEra;
}

}  // namespace

std::optional<SystemTime> SplitFileTime(FileTime time) {
  if (time.ticks > kLargestFileTime) return std::nullopt;
  const std::uint64_t days = time.ticks / kTicksPerDay;
  std::uint64_t rest = time.ticks % kTicksPerDay;

  const std::int64_t dayNumber = static_cast<std::int64_t>(days) + kDaysTo1601;
  const std::int64_t era = dayNumber / 146'097;
  const std::int64_t dayOfEra = dayNumber - era * 146'097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const auto month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

  SystemTime fields;
  fields.year = static_cast<std::uint16_t>(year);
  fields.month = static_cast<std::uint16_t>(month);
  fields.day = static_cast<std::uint16_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  // 1601-01-01 was a Monday; Sunday is 0.
  fields.dayOfWeek = static_cast<std::uint16_t>((days + 1) % 7);
  fields.hour = static_cast<std::uint16_t>(rest / (kTicksPerSecond * 3600));
  rest %= kTicksPerSecond * 3600;
  fields.minute = static_cast<std::uint16_t>(rest / (kTicksPerSecond * 60));
  rest %= kTicksPerSecond * 60;
  fields.second = static_cast<std::uint16_t>(rest / kTicksPerSecond);
  rest %= kTicksPerSecond;
  fields.milliseconds = static_cast<std::uint16_t>(rest / kTicksPerMillisecond);
  return fields;
}

std::optional<FileTime> JoinSystemTime(const SystemTime& fields) {
  if (fields.year < 1601 || fields.year > 30827) return std::nullopt;
  if (fields.month < 1 || fields.month > 12) return std::nullopt;
  if (fields.day < 1 || fields.day > DaysInMonth(fields.year, fields.month)) return std::nullopt;
  if (fields.hour > 23 || fields.minute > 59 || fields.second > 59 || fields.milliseconds > 999)
    return std::nullopt;
  const auto days =
      static_cast<std::uint64_t>(DayNumber(fields.year, fields.month, fields.day) - kDaysTo1601);
  const std::uint64_t seconds =
      days * 86'400 + fields.hour * 3600u + fields.minute * 60u + fields.second;
  return FileTime{seconds * kTicksPerSecond + fields.milliseconds * kTicksPerMillisecond};
}

}  // namespace hq2hd::platform::posix
