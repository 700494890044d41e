#pragma once
// Platform handles carry HANDLE values unchanged: INVALID_HANDLE_VALUE is the
// all-ones value that InvalidHandle names.
#include <memory>

#include "platform/Platform.h"
#include "platform/windows/Win32.h"

namespace hq2hd::platform::windows {

inline HANDLE ToNative(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

inline Handle FromNative(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

static_assert(sizeof(Handle) == sizeof(HANDLE));

// The backend's one owner of a kernel handle: closes it on every path unless
// it is released. Null and INVALID_HANDLE_VALUE are no handle.
struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace hq2hd::platform::windows
