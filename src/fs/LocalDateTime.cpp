#include "fs/LocalDateTime.h"

#include "report/Catalogue.h"
#include "report/Exception.h"

namespace hq2hd {

using platform::FileTime;
using platform::Os;
using platform::SystemTime;

LocalDateTime FileTimeToLocalDateTime(FileTime utc) {
  FileTime local;
  SystemTime fields;
  if (!Os().FileTimeToLocalFileTime(utc, local) || !Os().FileTimeToSystemTime(local, fields) ||
      fields.year < 1 || fields.year > 9999)
    return LocalDateTime::Zero();
  return {fields.year,   fields.month,  fields.day,         fields.hour,
          fields.minute, fields.second, fields.milliseconds};
}

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsValid(const LocalDateTime& t) {
  static constexpr int daysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  if (t.day > daysInMonth[t.month - 1] || (t.month == 2 && t.day == 29 && !IsLeapYear(t.year)))
    return false;
  return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
         t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000;
}

}  // namespace

FileTime LocalDateTimeToFileTime(const LocalDateTime& local) {
  if (local.IsZero()) return {};
  if (!IsValid(local)) throw EConvertError(Text(catalogue::InvalidDateTime));
  SystemTime fields;
  fields.year = static_cast<std::uint16_t>(local.year);
  fields.month = static_cast<std::uint16_t>(local.month);
  fields.day = static_cast<std::uint16_t>(local.day);
  fields.hour = static_cast<std::uint16_t>(local.hour);
  fields.minute = static_cast<std::uint16_t>(local.minute);
  fields.second = static_cast<std::uint16_t>(local.second);
  fields.milliseconds = static_cast<std::uint16_t>(local.millisecond);
  FileTime localTime, utc;
  if (!Os().SystemTimeToFileTime(fields, localTime)) return {};
  if (!Os().LocalFileTimeToFileTime(localTime, utc)) return {};
  return utc;
}

}  // namespace hq2hd
