#pragma once
// Platform handles carry HANDLE values unchanged: INVALID_HANDLE_VALUE is the
// all-ones value that InvalidHandle names.
#include "platform/Platform.h"
#include "platform/windows/Win32.h"

namespace hq2hd::platform::windows {

inline HANDLE ToNative(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

inline Handle FromNative(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

static_assert(sizeof(Handle) == sizeof(HANDLE));

}  // namespace hq2hd::platform::windows
