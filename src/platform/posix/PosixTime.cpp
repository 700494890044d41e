// Time conversions. The local ones use the time-zone bias in force now, not
// the one at the date converted, as Windows does; a time read and written
// back within one run therefore comes back unchanged.
#include <ctime>
#include <limits>

#include "platform/posix/CalendarTime.h"
#include "platform/posix/PosixPlatform.h"

namespace hq2hd::platform::posix {
namespace {

std::int64_t CurrentBiasTicks() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return static_cast<std::int64_t>(local.tm_gmtoff) * static_cast<std::int64_t>(kTicksPerSecond);
}

bool Shift(FileTime from, std::int64_t biasTicks, FileTime& to) {
  constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (from.ticks > kLargest) {
    StoreLastError(error::InvalidParameter);
    return false;
  }
  const auto ticks = static_cast<std::int64_t>(from.ticks);
  if ((biasTicks < 0 && ticks < -biasTicks) ||
      (biasTicks > 0 && ticks > std::numeric_limits<std::int64_t>::max() - biasTicks)) {
    StoreLastError(error::InvalidParameter);
    return false;
  }
  to = FileTime{static_cast<std::uint64_t>(ticks + biasTicks)};
  return true;
}

}  // namespace

bool PosixPlatform::FileTimeToLocalFileTime(FileTime utc, FileTime& local) {
  return Shift(utc, CurrentBiasTicks(), local);
}

bool PosixPlatform::LocalFileTimeToFileTime(FileTime local, FileTime& utc) {
  return Shift(local, -CurrentBiasTicks(), utc);
}

bool PosixPlatform::FileTimeToSystemTime(FileTime time, SystemTime& fields) {
  const std::optional<SystemTime> split = SplitFileTime(time);
  if (!split) {
    StoreLastError(error::InvalidParameter);
    return false;
  }
  fields = *split;
  return true;
}

bool PosixPlatform::SystemTimeToFileTime(const SystemTime& fields, FileTime& time) {
  const std::optional<FileTime> joined = JoinSystemTime(fields);
  if (!joined) {
    StoreLastError(error::InvalidParameter);
    return false;
  }
  time = *joined;
  return true;
}

}  // namespace hq2hd::platform::posix
