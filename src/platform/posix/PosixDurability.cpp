// Flushes to the storage device and the one-run-per-folder claim.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/ErrnoTable.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/UniqueFd.h"

namespace hq2hd::platform::posix {
namespace {

bool Fail(std::uint32_t code) {
  StoreLastError(code);
  return false;
}

std::string FolderName(TextView folder) {
  std::string path = NativeName(folder);
  return path.empty() ? std::string(".") : path;
}

int OpenFolder(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

bool PosixPlatform::FlushFileBuffers(Handle file) {
  const std::optional<int> fd = DescriptorOf(file);
  if (!fd) return Fail(error::InvalidHandle);
  if (::fsync(*fd) != 0) return Fail(WindowsErrorFromErrno(errno));
  return true;
}

bool PosixPlatform::FlushFolder(TextView folder) {
  const std::string path = FolderName(folder);
  UniqueFd fd(OpenFolder(path));
  if (fd.Get() < 0) return Fail(ErrorForName(errno, path));
  // EINVAL: a file system that keeps nothing to synchronise for a folder.
  if (::fsync(fd.Get()) != 0 && errno != EINVAL) return Fail(WindowsErrorFromErrno(errno));
  return true;
}

// An advisory lock on the folder itself: nothing is created in it, and the
// kernel drops the lock with the descriptor when the process ends, however it
// ends.
Handle PosixPlatform::ClaimFolder(TextView folder) {
  const std::string path = FolderName(folder);
  UniqueFd fd(OpenFolder(path));
  if (fd.Get() < 0) {
    StoreLastError(ErrorForName(errno, path));
    return InvalidHandle;
  }
  int result;
  do {
    result = ::flock(fd.Get(), LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    StoreLastError(WindowsErrorFromErrno(errno));
    return InvalidHandle;
  }
  return static_cast<Handle>(fd.Release());
}

void PosixPlatform::ReleaseFolderClaim(Handle claim) {
  if (const std::optional<int> fd = DescriptorOf(claim)) ::close(*fd);
}

}  // namespace hq2hd::platform::posix
