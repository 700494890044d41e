#pragma once
// File times as the program carries them: local calendar date and time of day
// in whole milliseconds.
#include <cstdint>

#include "platform/Platform.h"

namespace hq2hd {

struct LocalDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;

  // 1899-12-30 00:00:00.000: a time that could not be read, and one that
  // leaves a file's time unchanged when written.
  static LocalDateTime Zero() { return {}; }
  bool IsZero() const { return *this == LocalDateTime{}; }
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// Sub-millisecond units are dropped; an unreadable time gives Zero().
LocalDateTime FileTimeToLocalDateTime(platform::FileTime utc);

// Zero() and any time the platform cannot turn into a file time give the
// all-zero file time, which leaves the file's time unchanged. Fields that no
// calendar holds raise EConvertError.
platform::FileTime LocalDateTimeToFileTime(const LocalDateTime& local);

}  // namespace hq2hd
