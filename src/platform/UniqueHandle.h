#pragma once
#include <utility>

#include "platform/Platform.h"

namespace hq2hd::platform {

// Owns one open handle and closes it on every path.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, InvalidHandle)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, InvalidHandle);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  explicit operator bool() const { return handle_ != InvalidHandle; }
  Handle Get() const { return handle_; }

  // Closes now; false when the platform refused the close.
  bool Close() {
    if (handle_ == InvalidHandle) return true;
    return Os().CloseHandle(std::exchange(handle_, InvalidHandle));
  }

 private:
  void Reset() {
    if (handle_ != InvalidHandle) Os().CloseHandle(std::exchange(handle_, InvalidHandle));
  }

  Handle handle_ = InvalidHandle;
};

}  // namespace hq2hd::platform
