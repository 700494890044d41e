// File-time conversions, with the time-zone bias kernel32 applies.
#include "platform/windows/NativeTime.h"
#include "platform/windows/WindowsPlatform.h"

namespace hq2hd::platform::windows {

bool WindowsPlatform::FileTimeToLocalFileTime(FileTime utc, FileTime& local) {
  const FILETIME source = ToNative(utc);
  FILETIME result{};
  if (!::FileTimeToLocalFileTime(&source, &result)) return false;
  local = FromNative(result);
  return true;
}

bool WindowsPlatform::LocalFileTimeToFileTime(FileTime local, FileTime& utc) {
  const FILETIME source = ToNative(local);
  FILETIME result{};
  if (!::LocalFileTimeToFileTime(&source, &result)) return false;
  utc = FromNative(result);
  return true;
}

bool WindowsPlatform::FileTimeToSystemTime(FileTime time, SystemTime& fields) {
  const FILETIME source = ToNative(time);
  SYSTEMTIME result{};
  if (!::FileTimeToSystemTime(&source, &result)) return false;
  fields = FromNative(result);
  return true;
}

bool WindowsPlatform::SystemTimeToFileTime(const SystemTime& fields, FileTime& time) {
  const SYSTEMTIME source = ToNative(fields);
  FILETIME result{};
  if (!::SystemTimeToFileTime(&source, &result)) return false;
  time = FromNative(result);
  return true;
}

}  // namespace hq2hd::platform::windows
