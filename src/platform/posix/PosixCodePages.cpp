// Code pages. The ANSI and OEM code pages are 932 whatever the locale: the
// host writes its work file in the code page of Japanese Windows.
#include "platform/posix/Cp932.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/SingleByteCodePages.h"
#include "platform/posix/Utf8Conversion.h"

namespace hq2hd::platform::posix {
namespace {

inline constexpr std::uint32_t kCpAcp = 0;
inline constexpr std::uint32_t kCpOemCp = 1;
inline constexpr std::uint32_t kCpThreadAcp = 3;

// The pseudo code pages that name the system's own, as Windows accepts them.
std::uint32_t Resolve(std::uint32_t codePage) {
  return codePage == kCpAcp || codePage == kCpOemCp || codePage == kCpThreadAcp ? CodePageShiftJis
                                                                                : codePage;
}

int Failed(std::uint32_t code) {
  StoreLastError(code);
  return 0;
}

// 0 from a conversion of a non-empty input is always a failure; its code
// becomes the last error.
template <typename Conversion>
int Convert(Conversion conversion) {
  std::uint32_t code = error::Success;
  const int result = conversion(code);
  if (result == 0) StoreLastError(code);
  return result;
}

}  // namespace

std::uint32_t PosixPlatform::AnsiCodePage() { return CodePageShiftJis; }
std::uint32_t PosixPlatform::OemCodePage() { return CodePageShiftJis; }

bool PosixPlatform::CodePageInfo(std::uint32_t codePage) {
  switch (Resolve(codePage)) {
    case CodePageShiftJis:
    case CodePageUtf8:
    case CodePageUtf16Le:
    case CodePageUtf16Be:
    case CodePageUsAscii:
    case CodePageWindows1252:
      return true;
    default:
      StoreLastError(error::InvalidParameter);
      return false;
  }
}

// Windows refuses an empty input (count 0) rather than returning 0 units.
int PosixPlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                       const char* bytes, int count, char16_t* units,
                                       int unitCapacity) {
  if (bytes == nullptr || count <= 0 || unitCapacity < 0) return Failed(error::InvalidParameter);
  switch (const std::uint32_t resolved = Resolve(codePage)) {
    case CodePageUtf8:
      if ((flags & ~MbErrInvalidChars) != 0) return Failed(error::InvalidFlags);
      return Convert([&](std::uint32_t& code) {
        return DecodeUtf8(flags, bytes, count, units, unitCapacity, code);
      });
    case CodePageShiftJis:
      return Convert([&](std::uint32_t& code) {
        return DecodeCp932(flags, bytes, count, units, unitCapacity, code);
      });
    case CodePageUsAscii:
    case CodePageWindows1252:
      return Convert([&](std::uint32_t& code) {
        return DecodeSingleByte(resolved, bytes, count, units, unitCapacity, code);
      });
    default:
      return Failed(error::InvalidParameter);
  }
}

int PosixPlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                       const char16_t* units, int count, char* bytes,
                                       int byteCapacity) {
  if (units == nullptr || count <= 0 || byteCapacity < 0) return Failed(error::InvalidParameter);
  switch (const std::uint32_t resolved = Resolve(codePage)) {
    case CodePageUtf8:
      if ((flags & ~WcErrInvalidChars) != 0) return Failed(error::InvalidFlags);
      return Convert([&](std::uint32_t& code) {
        return EncodeUtf8(flags, units, count, bytes, byteCapacity, code);
      });
    case CodePageShiftJis:
      // Only the plain conversion is offered; a flag asking for more is
      // refused rather than ignored.
      if (flags != 0) return Failed(error::InvalidFlags);
      return Convert([&](std::uint32_t& code) {
        return EncodeCp932(units, count, bytes, byteCapacity, code);
      });
    case CodePageUsAscii:
    case CodePageWindows1252:
      if (flags != 0) return Failed(error::InvalidFlags);
      return Convert([&](std::uint32_t& code) {
        return EncodeSingleByte(resolved, units, count, bytes, byteCapacity, code);
      });
    default:
      return Failed(error::InvalidParameter);
  }
}

}  // namespace hq2hd::platform::posix
