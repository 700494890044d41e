// Code-page conversion and lower-casing, left to the system's own tables.
#include "platform/windows/WideText.h"
#include "platform/windows/Win32.h"
#include "platform/windows/WindowsPlatform.h"

namespace hq2hd::platform::windows {
namespace {

constexpr DWORD LinguisticLowerCase = LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
static_assert(LinguisticLowerCase == 0x01000100);

}  // namespace

std::uint32_t WindowsPlatform::AnsiCodePage() { return ::GetACP(); }

std::uint32_t WindowsPlatform::OemCodePage() { return ::GetOEMCP(); }

bool WindowsPlatform::CodePageInfo(std::uint32_t codePage) {
  CPINFO info{};
  return ::GetCPInfo(codePage, &info) != FALSE;
}

// The interface lets a null output measure whatever its capacity; the system
// takes a null output with a capacity as an invalid parameter.
int WindowsPlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                         const char* bytes, int count, char16_t* units,
                                         int unitCapacity) {
  return ::MultiByteToWideChar(codePage, flags, bytes, count, AsWide(units),
                               units != nullptr ? unitCapacity : 0);
}

int WindowsPlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                         const char16_t* units, int count, char* bytes,
                                         int byteCapacity) {
  return ::WideCharToMultiByte(codePage, flags, AsWide(units), count, bytes,
                               bytes != nullptr ? byteCapacity : 0, nullptr, nullptr);
}

std::uint32_t WindowsPlatform::ThreadLocale() { return ::GetThreadLocale(); }

int WindowsPlatform::LowerCase(std::uint32_t locale, const char16_t* source, int count,
                               char16_t* dest) {
  return ::LCMapStringW(locale, LinguisticLowerCase, AsWide(source), count, AsWide(dest), count);
}

}  // namespace hq2hd::platform::windows
