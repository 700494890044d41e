// Test equipment for the end-to-end tests under Wine: holds a file open with a
// chosen access and sharing mode while the program runs, so that the program
// meets a sharing violation exactly as it would on Windows; or holds the
// claim on a program folder, as a run in it would; or squats the claim's
// name, as a process of another user could try to.
//
// Usage: HoldFile <path> <r|rw> <none|r|rw> [<ms> [appear]]
//        HoldFile <folder> claim|squat
// Prints "ready" once the file is open, then keeps it open until a line or
// the end of its standard input arrives. With <ms>, keeps it open for that
// long after a line arrives instead, then prints "released" and ends; with
// "appear", prints "ready" at once, opens the file as soon as it appears (as a
// scanner opens a new file) and prints "held" then.
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "platform/UniqueHandle.h"
#include "platform/windows/FolderClaimName.h"
#include "platform/windows/Win32.h"

namespace {

namespace os = hq2hd::platform;

// Long enough for any run under test to have started.
constexpr std::uint64_t AppearTimeoutMs = 120'000;

std::optional<std::uint32_t> AccessFromArgument(std::wstring_view argument) {
  if (argument == L"r") return os::GenericRead;
  if (argument == L"rw") return os::GenericRead | os::GenericWrite;
  return std::nullopt;
}

std::optional<std::uint32_t> ShareFromArgument(std::wstring_view argument) {
  if (argument == L"none") return 0;
  if (argument == L"r") return os::FileShareRead;
  if (argument == L"rw") return os::FileShareRead | os::FileShareWrite;
  return std::nullopt;
}

hq2hd::Text ToText(std::wstring_view wide) {
  // wchar_t is a UTF-16 unit on Windows, the only target of this tool.
  return hq2hd::Text(wide.begin(), wide.end());
}

int HoldClaim(const hq2hd::Text& folder) {
  const os::Handle claim = os::Os().ClaimFolder(folder, 0xFFFFFFFFu);
  if (claim == os::InvalidHandle) {
    std::cout << "error " << os::Os().LastError() << std::endl;
    return 1;
  }
  std::cout << "ready" << std::endl;
  std::string line;
  std::getline(std::cin, line);
  os::Os().ReleaseFolderClaim(claim);
  return 0;
}

// Makes and holds a mutex of the claim's name that anyone may open, owned by
// the Administrators group rather than by the user.
int SquatClaim(const hq2hd::Text& folder) {
  const std::wstring name = hq2hd::platform::windows::FolderClaimObjectName(folder);
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  SECURITY_DESCRIPTOR descriptor{};
  if (name.empty() ||
      !::AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators) ||
      !::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE) ||
      !::SetSecurityDescriptorOwner(&descriptor, administrators, FALSE)) {
    std::cout << "error " << ::GetLastError() << std::endl;
    return 1;
  }
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
  HANDLE mutex = ::CreateMutexW(&attributes, TRUE, name.c_str());
  if (mutex == nullptr || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    std::cout << "error " << ::GetLastError() << std::endl;
    return 1;
  }
  std::cout << "ready" << std::endl;
  std::string line;
  std::getline(std::cin, line);
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
  ::FreeSid(administrators);
  return 0;
}

// Polls until the file can be opened: it may not exist yet, or the program
// may still have it open without sharing.
os::UniqueHandle OpenOnceItAppears(const hq2hd::Text& path, std::uint32_t access,
                                   std::uint32_t share) {
  const std::uint64_t started = os::Os().TickCount();
  while (os::Os().TickCount() - started < AppearTimeoutMs) {
    os::UniqueHandle held(
        os::Os().CreateFile(path, access, share, os::OpenExisting, os::FileAttributeNormal));
    if (held) return held;
    os::Os().Sleep(1);
  }
  return {};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring_view(argv[2]) == L"claim") return HoldClaim(ToText(argv[1]));
  if (argc == 3 && std::wstring_view(argv[2]) == L"squat") return SquatClaim(ToText(argv[1]));
  const auto access = argc >= 4 ? AccessFromArgument(argv[2]) : std::nullopt;
  const auto share = argc >= 4 ? ShareFromArgument(argv[3]) : std::nullopt;
  const bool timed = argc >= 5;
  const bool appear = argc == 6 && std::wstring_view(argv[5]) == L"appear";
  if (!access || !share || argc > 6 || (argc == 6 && !appear)) {
    std::cerr << "usage: HoldFile <path> <r|rw> <none|r|rw> [<ms> [appear]]\n"
                 "       HoldFile <folder> claim|squat\n";
    return 2;
  }
  const hq2hd::Text path = ToText(argv[1]);

  os::UniqueHandle held;
  if (appear) {
    std::cout << "ready" << std::endl;
    held = OpenOnceItAppears(path, *access, *share);
  } else {
    held = os::UniqueHandle(
        os::Os().CreateFile(path, *access, *share, os::OpenExisting, os::FileAttributeNormal));
  }
  if (!held) {
    std::cout << "error " << os::Os().LastError() << std::endl;
    return 1;
  }
  std::cout << (appear ? "held" : "ready") << std::endl;
  std::string line;
  if (!appear) std::getline(std::cin, line);
  if (!timed) return 0;
  os::Os().Sleep(static_cast<std::uint32_t>(std::stoul(std::wstring(argv[4]))));
  held.Close();
  std::cout << "released" << std::endl;
  return 0;
}
