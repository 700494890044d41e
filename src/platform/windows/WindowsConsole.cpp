// The standard handles and what kind of file they are.
#include "platform/windows/NativeHandle.h"
#include "platform/windows/WindowsPlatform.h"

namespace hq2hd::platform::windows {
namespace {

DWORD StdHandleId(StdStream stream) {
  switch (stream) {
    case StdStream::Input:
      return STD_INPUT_HANDLE;
    case StdStream::Output:
      return STD_OUTPUT_HANDLE;
    case StdStream::Error:
      break;
  }
  return STD_ERROR_HANDLE;
}

}  // namespace

// A process started without a console has null standard handles; callers
// test one value only.
Handle WindowsPlatform::StdHandle(StdStream stream) {
  const HANDLE handle = ::GetStdHandle(StdHandleId(stream));
  return handle == nullptr ? InvalidHandle : FromNative(handle);
}

FileType WindowsPlatform::HandleFileType(Handle file) {
  return static_cast<FileType>(::GetFileType(ToNative(file)));
}

std::uint32_t WindowsPlatform::ConsoleOutputCodePage() { return ::GetConsoleOutputCP(); }

}  // namespace hq2hd::platform::windows
