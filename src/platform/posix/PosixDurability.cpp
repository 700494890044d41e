// Flushes to the storage device, the one-run-per-folder claim and the clock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

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
// ends. flock cannot wait for a time, so the wait is a poll whose pauses grow
// to a few milliseconds: a run that ends is soon followed by the next.
Handle PosixPlatform::ClaimFolder(TextView folder, std::uint32_t timeoutMs) {
  const std::string path = FolderName(folder);
  UniqueFd fd(OpenFolder(path));
  if (fd.Get() < 0) {
    StoreLastError(ErrorForName(errno, path));
    return InvalidHandle;
  }
  const std::uint64_t started = TickCount();
  std::uint32_t pauseMs = 1;
  while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      StoreLastError(WindowsErrorFromErrno(errno));
      return InvalidHandle;
    }
    const std::uint64_t waited = TickCount() - started;
    if (waited >= timeoutMs) {
      StoreLastError(error::WaitTimeout);
      return InvalidHandle;
    }
    Sleep(static_cast<std::uint32_t>(std::min<std::uint64_t>(pauseMs, timeoutMs - waited)));
    pauseMs = std::min<std::uint32_t>(pauseMs * 2, 8);
  }
  return static_cast<Handle>(fd.Release());
}

void PosixPlatform::ReleaseFolderClaim(Handle claim) {
  if (const std::optional<int> fd = DescriptorOf(claim)) ::close(*fd);
}

void PosixPlatform::Sleep(std::uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

std::uint64_t PosixPlatform::TickCount() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace hq2hd::platform::posix
