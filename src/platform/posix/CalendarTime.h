#pragma once
// FileTimeToSystemTime / SystemTimeToFileTime as pure calendar arithmetic on
// the proleptic Gregorian calendar, with Windows' ranges: a file time must be
// below 2^63 ticks, and calendar fields must name a real instant in the years
// 1601 to 30827.
#include <cstdint>
#include <optional>

#include "platform/Platform.h"

namespace hq2hd::platform::posix {

inline constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600;

std::optional<SystemTime> SplitFileTime(FileTime time);
// The day of the week in `fields` is not looked at.
std::optional<FileTime> JoinSystemTime(const SystemTime& fields);

}  // namespace hq2hd::platform::posix
