// Flushes to the storage device and the one-run-per-folder claim, a named mutex.
#include <cstdint>
#include <string>

#include "platform/windows/FolderClaimName.h"
#include "platform/windows/NativeHandle.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsPlatform.h"

namespace hq2hd::platform::windows {
namespace {

constexpr LCID InvariantLocale = 0x007F;

// The folder's full name in upper case: two spellings of one folder claim the
// same mutex, as the file system takes them for one folder.
bool ClaimKey(TextView folder, std::wstring& key) {
  const std::wstring name = TerminatedName(folder.empty() ? TextView(u".") : folder);
  DWORD needed = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return false;
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return false;
  full.resize(length);
  key.assign(full.size(), L'\0');
  return ::LCMapStringW(InvariantLocale, LCMAP_UPPERCASE, full.data(),
                        static_cast<int>(full.size()), key.data(),
                        static_cast<int>(key.size())) == static_cast<int>(full.size());
}

}  // namespace

std::wstring FolderClaimName(const wchar_t* prefix, TextView upperCaseFullName) {
  // FNV-1a over the UTF-16 units.
  std::uint64_t hash = 0xCBF29CE484222325u;
  for (char16_t unit : upperCaseFullName) {
    hash ^= unit;
    hash *= 0x100000001B3u;
  }
  std::wstring name = prefix;
  name += L"hq2hd-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789ABCDEF"[(hash >> shift) & 0xF];
  return name;
}

bool WindowsPlatform::FlushFileBuffers(Handle file) {
  return ::FlushFileBuffers(ToNative(file)) != FALSE;
}

bool WindowsPlatform::FlushFolder(TextView) { return true; }

// The global namespace lets runs from other sessions on the same folder take
// turns too; where it is refused (another user's mutex of the same name), the
// session's own namespace still orders this session's runs. The system
// releases the mutex of a process that ends without releasing it, and the
// next waiter gets it as abandoned, which counts as released.
Handle WindowsPlatform::ClaimFolder(TextView folder) {
  std::wstring key;
  if (!ClaimKey(folder, key)) return InvalidHandle;
  const TextView keyUnits(AsUnits(key.data()), key.size());
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, FolderClaimName(L"Global\\", keyUnits).c_str());
  if (mutex == nullptr)
    mutex = ::CreateMutexW(nullptr, FALSE, FolderClaimName(L"Local\\", keyUnits).c_str());
  if (mutex == nullptr) return InvalidHandle;
  const DWORD waited = ::WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    const DWORD code = ::GetLastError();
    ::CloseHandle(mutex);
    ::SetLastError(code);
    return InvalidHandle;
  }
  return FromNative(mutex);
}

void WindowsPlatform::ReleaseFolderClaim(Handle claim) {
  ::ReleaseMutex(ToNative(claim));
  ::CloseHandle(ToNative(claim));
}

}  // namespace hq2hd::platform::windows
