#pragma once
// FileTime and SystemTime carry the same numbers as FILETIME and SYSTEMTIME.
#include "platform/Platform.h"
#include "platform/windows/Win32.h"

namespace hq2hd::platform::windows {

inline FileTime FromNative(const FILETIME& time) {
  return FileTime{(std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime};
}

inline FILETIME ToNative(FileTime time) {
  return FILETIME{static_cast<DWORD>(time.ticks), static_cast<DWORD>(time.ticks >> 32)};
}

inline SystemTime FromNative(const SYSTEMTIME& time) {
  return SystemTime{time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                    time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
}

inline SYSTEMTIME ToNative(const SystemTime& time) {
  return SYSTEMTIME{time.year, time.month,  time.dayOfWeek, time.day,
                    time.hour, time.minute, time.second,    time.milliseconds};
}

}  // namespace hq2hd::platform::windows
