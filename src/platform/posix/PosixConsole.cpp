// The standard handles and what they are connected to.
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/PosixPlatform.h"

namespace hq2hd::platform::posix {

Handle PosixPlatform::StdHandle(StdStream stream) {
  const int fd = stream == StdStream::Input ? 0 : stream == StdStream::Output ? 1 : 2;
  if (::fcntl(fd, F_GETFD) == -1) return InvalidHandle;
  return static_cast<Handle>(fd);
}

// A terminal is the console. Other devices (/dev/null, a disk) count as
// characters too, as NUL does on Windows, so output to them is treated the
// same way as output to a console, and no device passes for a file.
FileType PosixPlatform::HandleFileType(Handle file) {
  const std::optional<int> fd = DescriptorOf(file);
  struct stat info {};
  if (!fd || ::fstat(*fd, &info) != 0) {
    StoreLastError(error::InvalidHandle);
    return FileType::Unknown;
  }
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return FileType::Char;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FileType::Pipe;
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) return FileType::Disk;
  return FileType::Unknown;
}

std::uint32_t PosixPlatform::ConsoleOutputCodePage() { return CodePageUtf8; }

}  // namespace hq2hd::platform::posix
