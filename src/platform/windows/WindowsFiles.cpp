// Files, names and attributes through kernel32.
#include <string>

#include "platform/windows/NativeHandle.h"
#include "platform/windows/NativeTime.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsPlatform.h"

namespace hq2hd::platform::windows {
namespace {

// SetFileTime takes null for "leave unchanged"; keep that meaning for null here.
class OptionalFiletime {
 public:
  explicit OptionalFiletime(const FileTime* time)
      : present_(time != nullptr), value_(present_ ? ToNative(*time) : FILETIME{}) {}
  const FILETIME* get() const { return present_ ? &value_ : nullptr; }

 private:
  bool present_;
  FILETIME value_;
};

}  // namespace

Handle WindowsPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                   std::uint32_t disposition, std::uint32_t flagsAndAttributes) {
  const std::wstring path = TerminatedName(name);
  return FromNative(::CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                  flagsAndAttributes, nullptr));
}

bool WindowsPlatform::ReadFile(Handle file, void* buffer, std::uint32_t count,
                               std::uint32_t& done) {
  DWORD read = 0;
  const BOOL ok = ::ReadFile(ToNative(file), buffer, count, &read, nullptr);
  done = read;
  return ok != FALSE;
}

bool WindowsPlatform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                                std::uint32_t& done) {
  DWORD written = 0;
  const BOOL ok = ::WriteFile(ToNative(file), buffer, count, &written, nullptr);
  done = written;
  return ok != FALSE;
}

bool WindowsPlatform::FileSize(Handle file, std::uint64_t& size) {
  const HANDLE native = ToNative(file);
  LARGE_INTEGER current{};
  LARGE_INTEGER end{};
  if (!::SetFilePointerEx(native, LARGE_INTEGER{}, &current, FILE_CURRENT)) return false;
  if (!::SetFilePointerEx(native, LARGE_INTEGER{}, &end, FILE_END)) return false;
  if (!::SetFilePointerEx(native, current, nullptr, FILE_BEGIN)) return false;
  size = static_cast<std::uint64_t>(end.QuadPart);
  return true;
}

bool WindowsPlatform::CloseHandle(Handle file) { return ::CloseHandle(ToNative(file)) != FALSE; }

bool WindowsPlatform::DeleteFile(TextView name) {
  const std::wstring path = TerminatedName(name);
  return ::DeleteFileW(path.c_str()) != FALSE;
}

bool WindowsPlatform::RemoveDirectory(TextView name) {
  const std::wstring path = TerminatedName(name);
  return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool WindowsPlatform::MoveFileReplacing(TextView from, TextView to) {
  const std::wstring source = TerminatedName(from);
  const std::wstring target = TerminatedName(to);
  return ::MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::uint32_t WindowsPlatform::FileAttributes(TextView name) {
  const std::wstring path = TerminatedName(name);
  return ::GetFileAttributesW(path.c_str());
}

bool WindowsPlatform::FileAttributesEx(TextView name, FileAttributeData& data) {
  const std::wstring path = TerminatedName(name);
  WIN32_FILE_ATTRIBUTE_DATA native{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &native)) return false;
  data.attributes = native.dwFileAttributes;
  data.creation = FromNative(native.ftCreationTime);
  data.lastAccess = FromNative(native.ftLastAccessTime);
  data.lastWrite = FromNative(native.ftLastWriteTime);
  data.size = (std::uint64_t{native.nFileSizeHigh} << 32) | native.nFileSizeLow;
  return true;
}

bool WindowsPlatform::FindFirstEntry(TextView name, std::uint32_t& attributes) {
  const std::wstring pattern = TerminatedName(name);
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  attributes = found.dwFileAttributes;
  return true;
}

std::uint32_t WindowsPlatform::FullPathName(TextView name, std::uint32_t bufferLength,
                                            char16_t* buffer) {
  const std::wstring path = TerminatedName(name);
  return ::GetFullPathNameW(path.c_str(), buffer != nullptr ? bufferLength : 0, AsWide(buffer),
                            nullptr);
}

bool WindowsPlatform::SetFileTimes(Handle file, const FileTime* creation,
                                   const FileTime* lastAccess, const FileTime* lastWrite) {
  const OptionalFiletime created(creation);
  const OptionalFiletime accessed(lastAccess);
  const OptionalFiletime written(lastWrite);
  return ::SetFileTime(ToNative(file), created.get(), accessed.get(), written.get()) != FALSE;
}

}  // namespace hq2hd::platform::windows
