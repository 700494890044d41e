#include "fs/LocalDateTime.h"

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

FileTime LocalDateTimeToFileTime(const LocalDateTime& local) {
  if (local.IsZero()) return {};
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
