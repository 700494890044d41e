#pragma once
// Platform text is char16_t; mingw's wchar_t is the same 16-bit unit, so the
// two are passed to each other by pointer, without conversion.
#include <string>

#include "platform/Text.h"

namespace hq2hd::platform::windows {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Windows backend needs a 16-bit wchar_t");

inline const wchar_t* AsWide(const char16_t* units) {
  return reinterpret_cast<const wchar_t*>(units);
}

inline wchar_t* AsWide(char16_t* units) { return reinterpret_cast<wchar_t*>(units); }

inline const char16_t* AsUnits(const wchar_t* wide) {
  return reinterpret_cast<const char16_t*>(wide);
}

// A TextView need not end in a terminator; the API's names must.
inline std::wstring TerminatedName(TextView name) {
  return std::wstring(AsWide(name.data()), name.size());
}

}  // namespace hq2hd::platform::windows
