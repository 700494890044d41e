// Flushes to the storage device, the one-run-per-folder claim (a named
// mutex) and the clock.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows/FolderClaimName.h"
#include "platform/windows/NativeHandle.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsPlatform.h"

namespace hq2hd::platform::windows {
namespace {

constexpr LCID InvariantLocale = 0x007F;

bool FullName(TextView folder, std::wstring& full) {
  const std::wstring name = TerminatedName(folder.empty() ? TextView(u".") : folder);
  DWORD needed = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return false;
  full.assign(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return false;
  full.resize(length);
  return true;
}

void AppendHex(std::wstring& text, std::uint64_t value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    text += L"0123456789ABCDEF"[(value >> shift) & 0xF];
}

// What names the folder itself, whatever its spelling (another drive letter
// mapped onto it, its short name, a junction): the volume's serial number and
// the folder's file ID. Opened for no access and with every share mode, the
// folder stays open to everyone else meanwhile. Where the volume gives no
// file ID, the full name in upper case, as the file system compares names.
bool ClaimKey(TextView folder, std::wstring& key) {
  std::wstring full;
  if (!FullName(folder, full)) return false;
  const OwnedHandle opened(
      ::CreateFileW(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (opened.get() != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(opened.get(), &info) &&
      (info.nFileIndexHigh != 0 || info.nFileIndexLow != 0)) {
    key = L"ID:";
    AppendHex(key, info.dwVolumeSerialNumber, 8);
    AppendHex(key, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 16);
    return true;
  }
  key = L"NAME:";
  key.append(full.size(), L'\0');
  const int length = static_cast<int>(full.size());
  return ::LCMapStringW(InvariantLocale, LCMAP_UPPERCASE, full.data(), length, key.data() + 5,
                        length) == length;
}

// The user the process runs as, from its token.
class CurrentUser {
 public:
  CurrentUser() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    const OwnedHandle owned(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer_.resize(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer_.data(), size, &size))
      buffer_.clear();
  }
  PSID Sid() const {
    return buffer_.empty() ? nullptr
                           : reinterpret_cast<const TOKEN_USER*>(buffer_.data())->User.Sid;
  }

 private:
  std::vector<unsigned char> buffer_;
};

// A security descriptor that makes `user` the owner and admits nobody else.
class UserOnlyDescriptor {
 public:
  explicit UserOnlyDescriptor(PSID user)
      : acl_(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(user)) {
    const auto acl = reinterpret_cast<PACL>(acl_.data());
    ready_ = ::InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
             ::AddAccessAllowedAce(acl, ACL_REVISION, MUTEX_ALL_ACCESS, user) &&
             ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             ::SetSecurityDescriptorOwner(&descriptor_, user, FALSE) &&
             ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
    attributes_ = {sizeof(attributes_), &descriptor_, FALSE};
  }
  SECURITY_ATTRIBUTES* Attributes() { return ready_ ? &attributes_ : nullptr; }

 private:
  std::vector<unsigned char> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool ready_ = false;
};

// Whether the object that `handle` opens is owned by `user`: a mutex of the
// claim's name made by someone else is a squatter's, not a run's.
bool OwnedBy(HANDLE handle, PSID user) {
  DWORD needed = 0;
  ::GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<unsigned char> descriptor(needed);
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  return ::GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, descriptor.data(), needed,
                                   &needed) &&
         ::GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) && owner != nullptr &&
         ::EqualSid(owner, user);
}

}  // namespace

std::wstring FolderClaimName(const wchar_t* prefix, TextView key) {
  // FNV-1a over the UTF-16 units.
  std::uint64_t hash = 0xCBF29CE484222325u;
  for (char16_t unit : key) {
    hash ^= unit;
    hash *= 0x100000001B3u;
  }
  std::wstring name = prefix;
  name += L"hq2hd-";
  AppendHex(name, hash, 16);
  return name;
}

std::wstring FolderClaimObjectName(TextView folder) {
  std::wstring key;
  if (!ClaimKey(folder, key)) return {};
  return FolderClaimName(L"Local\\", TextView(AsUnits(key.data()), key.size()));
}

bool WindowsPlatform::FlushFileBuffers(Handle file) {
  return ::FlushFileBuffers(ToNative(file)) != FALSE;
}

bool WindowsPlatform::FlushFolder(TextView) { return true; }

// A mutex in the session's own namespace, which only the user can be given
// access to: its descriptor admits the user alone, and one already there
// that someone else owns is not waited for. Runs of one folder from two
// sessions do not take turns; the host runs in the user's own session. The
// system releases the mutex of a process that ends without releasing it, and
// the next waiter gets it as abandoned, which counts as released.
Handle WindowsPlatform::ClaimFolder(TextView folder, std::uint32_t timeoutMs) {
  const std::wstring name = FolderClaimObjectName(folder);
  const CurrentUser user;
  if (name.empty() || user.Sid() == nullptr) return InvalidHandle;
  UserOnlyDescriptor descriptor(user.Sid());
  if (descriptor.Attributes() == nullptr) return InvalidHandle;
  OwnedHandle mutex(::CreateMutexW(descriptor.Attributes(), FALSE, name.c_str()));
  if (mutex.get() == nullptr) return InvalidHandle;
  if (::GetLastError() == ERROR_ALREADY_EXISTS && !OwnedBy(mutex.get(), user.Sid())) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return InvalidHandle;
  }
  const DWORD waited = ::WaitForSingleObject(mutex.get(), timeoutMs);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return FromNative(mutex.release());
  ::SetLastError(waited == WAIT_TIMEOUT ? error::WaitTimeout : ::GetLastError());
  return InvalidHandle;
}

void WindowsPlatform::ReleaseFolderClaim(Handle claim) {
  const OwnedHandle mutex(ToNative(claim));
  ::ReleaseMutex(mutex.get());
}

void WindowsPlatform::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint64_t WindowsPlatform::TickCount() { return ::GetTickCount64(); }

}  // namespace hq2hd::platform::windows
