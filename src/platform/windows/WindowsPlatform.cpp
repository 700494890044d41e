// Process-wide services: the module name, the last error and system messages.
#include "platform/windows/WindowsPlatform.h"

#include <algorithm>
#include <memory>

#include "platform/windows/WideText.h"
#include "platform/windows/Win32.h"

namespace hq2hd::platform {

Platform& NativePlatform() {
  static windows::WindowsPlatform platform;
  return platform;
}

namespace windows {
namespace {

// The classic MAX_PATH buffer plus one: a name of exactly 260 units still
// fits, and a longer one comes back cut rather than failing.
constexpr DWORD ModuleNameBufferLength = 261;
constexpr std::size_t ModuleNameMaxLength = 260;

constexpr DWORD SystemMessageFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_ARGUMENT_ARRAY;
static_assert(SystemMessageFlags == 0x3300);

struct LocalFreer {
  void operator()(wchar_t* memory) const { ::LocalFree(memory); }
};
using LocalText = std::unique_ptr<wchar_t, LocalFreer>;

}  // namespace

Text WindowsPlatform::ModuleFileName() {
  wchar_t buffer[ModuleNameBufferLength] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, ModuleNameBufferLength);
  // A name that fills the buffer was cut; older systems say so only by the
  // length, newer ones by the last error as well.
  if (length >= ModuleNameBufferLength)
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
  else if (length != 0)
    ::SetLastError(ERROR_SUCCESS);
  return Text(AsUnits(buffer), std::min<std::size_t>(length, ModuleNameMaxLength));
}

std::uint32_t WindowsPlatform::LastError() { return ::GetLastError(); }

void WindowsPlatform::SetLastError(std::uint32_t code) { ::SetLastError(code); }

Text WindowsPlatform::SystemMessage(std::uint32_t code) {
  wchar_t* allocated = nullptr;
  const DWORD length = ::FormatMessageW(SystemMessageFlags, nullptr, code, 0,
                                        reinterpret_cast<wchar_t*>(&allocated), 0, nullptr);
  const LocalText owner(allocated);
  if (length == 0 || owner == nullptr) return Text();
  return Text(AsUnits(owner.get()), length);
}

}  // namespace windows
}  // namespace hq2hd::platform
