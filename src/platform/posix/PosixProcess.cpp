// The process-level services: the backend instance, the last error, the
// module name, system messages and lower-casing.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "platform/posix/CaseMapping.h"
#include "platform/posix/ErrnoTable.h"
#include "platform/posix/NameCodec.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/Utf8Conversion.h"

namespace hq2hd::platform {

Platform& NativePlatform() {
  static posix::PosixPlatform instance;
  return instance;
}

}  // namespace hq2hd::platform

namespace hq2hd::platform::posix {
namespace {

thread_local std::uint32_t lastError = error::Success;

inline constexpr std::size_t kMaxModuleNameUnits = 260;
inline constexpr std::uint32_t kJapaneseLocale = 0x0411;

// glibc offers the GNU strerror_r (returns the text) or the XSI one (fills the
// buffer); overloads pick whichever this build has.
[[maybe_unused]] const char* ErrorText(const char* text, const char*) { return text; }
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "";
}

}  // namespace

// A write to a pipe whose reader has gone, or past the file-size limit, must
// fail with a code, as WriteFile does on Windows, rather than end the process
// (SIGPIPE, SIGXFSZ) before the host's file is back in place.
PosixPlatform::PosixPlatform() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void StoreLastError(std::uint32_t code) { lastError = code; }
std::uint32_t LoadLastError() { return lastError; }

std::uint32_t PosixPlatform::LastError() { return lastError; }
void PosixPlatform::SetLastError(std::uint32_t code) { lastError = code; }

std::string NativeName(TextView name) { return EncodeName(name.substr(0, name.find(u'\0'))); }

Text PosixPlatform::ModuleFileName() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      StoreLastError(WindowsErrorFromErrno(errno));
      return Text();
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      Text name = DecodeName(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
      const bool cut = name.size() > kMaxModuleNameUnits;
      if (cut) name.resize(kMaxModuleNameUnits);
      StoreLastError(cut ? error::InsufficientBuffer : error::Success);
      return name;
    }
    buffer.resize(buffer.size() * 2);
  }
}

Text PosixPlatform::SystemMessage(std::uint32_t code) {
  const std::optional<int> errnum = ErrnoFromWindowsError(code);
  if (!errnum) return Text();
  char buffer[256] = {};
  const char* text = ErrorText(::strerror_r(*errnum, buffer, sizeof buffer), buffer);
  const auto length = static_cast<int>(std::strlen(text));
  if (length == 0) return Text();
  Text message(static_cast<std::size_t>(length), u'\0');
  std::uint32_t ignored = 0;
  message.resize(
      static_cast<std::size_t>(DecodeUtf8(0, text, length, message.data(), length, ignored)));
  // Windows messages end in CR LF; callers trim it, so it is kept here too.
  message += u"\r\n";
  return message;
}

std::uint32_t PosixPlatform::ThreadLocale() { return kJapaneseLocale; }

int PosixPlatform::LowerCase(std::uint32_t, const char16_t* source, int count, char16_t* dest) {
  if (source == nullptr || count <= 0) {
    StoreLastError(error::InvalidParameter);
    return 0;
  }
  if (dest == nullptr) return count;
  for (int i = 0; i < count; ++i) dest[i] = LowerCaseUnit(source[i]);
  return count;
}

}  // namespace hq2hd::platform::posix
