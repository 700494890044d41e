#pragma once
// Seconds and nanoseconds since 1970 against file-time ticks since 1601, at
// the full 100 ns precision that both sides can hold.
#include <cstdint>

#include "platform/Platform.h"
#include "platform/posix/CalendarTime.h"

namespace hq2hd::platform::posix {

struct UnixTime {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
};

// An instant before 1601 has no file time; it reads as 0, "not known".
inline FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  const std::int64_t since1601 = seconds + kUnixEpochSeconds;
  if (since1601 < 0) return FileTime{};
  return FileTime{static_cast<std::uint64_t>(since1601) * kTicksPerSecond +
                  static_cast<std::uint64_t>(nanoseconds) / 100};
}

inline UnixTime UnixFromFileTime(FileTime time) {
  return UnixTime{static_cast<std::int64_t>(time.ticks / kTicksPerSecond) - kUnixEpochSeconds,
                  static_cast<std::int64_t>(time.ticks % kTicksPerSecond) * 100};
}

}  // namespace hq2hd::platform::posix
