#pragma once
// Platform handles carry HANDLE values unchanged: INVALID_HANDLE_VALUE is the
// all-ones value that InvalidHandle names.
#include <utility>

#include "platform/Platform.h"
#include "platform/windows/Win32.h"

namespace hq2hd::platform::windows {

inline HANDLE ToNative(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

inline Handle FromNative(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

static_assert(sizeof(Handle) == sizeof(HANDLE));

// The backend's one owner of a kernel handle: closes it on every path unless
// it is handed out. Null and INVALID_HANDLE_VALUE are no handle.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  ~OwnedHandle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }
  HANDLE Release() { return std::exchange(handle_, nullptr); }

 private:
  HANDLE handle_;
};

}  // namespace hq2hd::platform::windows
