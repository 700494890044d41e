// Where a link (reparse point) leads, as a drive-letter path where there is one.
#include <vector>

#include "platform/windows/NativeHandle.h"
#include "platform/windows/WideText.h"
#include "platform/windows/Win32.h"
#include "platform/windows/WindowsPlatform.h"

namespace hq2hd::platform::windows {
bool WindowsPlatform::ResolveLink(TextView name, Text& target) {
  const std::wstring path = TerminatedName(name);
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  DWORD flags = (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                    ? FILE_FLAG_BACKUP_SEMANTICS
                    : 0;
  OwnedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, flags, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return false;
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = ::GetFinalPathNameByHandleW(file.get(), buffer.data(),
                                             static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = ::GetFinalPathNameByHandleW(file.get(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= buffer.size()) return false;
  std::wstring full(buffer.data(), length);
  // "\\?\C:\dir" names a drive path; "\\?\UNC\server\share" a share.
  if (full.starts_with(L"\\\\?\\UNC\\")) {
    full = L"\\\\" + full.substr(8);
  } else if (full.starts_with(L"\\\\?\\")) {
    full = full.substr(4);
  }
  target.assign(AsUnits(full.c_str()), full.size());
  return true;
}

bool WindowsPlatform::VolumeSupportsLinks(TextView name, bool& supported) {
  const std::wstring path = TerminatedName(name);
  std::vector<wchar_t> root(path.size() + MAX_PATH);
  if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())))
    return false;
  DWORD flags = 0;
  if (!::GetVolumeInformationW(root.data(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
    return false;
  supported = (flags & FILE_SUPPORTS_REPARSE_POINTS) != 0;
  return true;
}

}  // namespace hq2hd::platform::windows
