// Flushes to the storage device, the one-run-per-folder claim and the clock.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "platform/posix/ErrnoTable.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/UniqueFd.h"

namespace hq2hd::platform::posix {
namespace {

std::string FolderName(TextView folder) {
  std::string path = NativeName(folder);
  return path.empty() ? std::string(".") : path;
}

int OpenFolder(const std::string& path) {
  return OpenRetrying(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
}

// A folder that is this user's alone: a real folder (not a link), owned by
// the user, that nobody else may write to or list.
bool IsPrivateFolder(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
         (info.st_mode & 077) == 0;
}

// Where this user's claims live: the user's runtime folder, which the system
// makes for every user with a session, or else a folder of the user's own
// under /tmp, made on first use. No environment variable is read: every run
// of the user, from any session, must find the same folder. None when neither
// can be had (someone else made the /tmp folder first, say).
std::optional<std::string> PrivateClaimFolder() {
  const std::string uid = std::to_string(::geteuid());
  const std::string runtime = "/run/user/" + uid;
  if (IsPrivateFolder(runtime)) return runtime;
  const std::string own = "/tmp/hq2hd-" + uid;
  if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
  if (!IsPrivateFolder(own)) return std::nullopt;
  return own;
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

// The folder's claim is a lock file in a folder only this user can write,
// named after the program folder's device and inode, so that every spelling
// of the folder names one claim and no other user can hold or squat it (the
// same trade-off as the Windows mutex: runs of two users on one folder do not
// take turns). Nothing is created in the program folder, and the kernel drops
// the lock with the descriptor when the process ends, however it ends.
// flock cannot wait for a time, so the wait is a poll whose pauses grow to a
// few milliseconds: a run that ends is soon followed by the next.
Handle PosixPlatform::ClaimFolder(TextView folder, std::uint32_t timeoutMs) {
  const std::string path = FolderName(folder);
  struct stat folderInfo {};
  if (::stat(path.c_str(), &folderInfo) != 0) {
    StoreLastError(ErrorForName(errno, path));
    return InvalidHandle;
  }
  const std::optional<std::string> claims = PrivateClaimFolder();
  if (!claims) {
    StoreLastError(error::AccessDenied);
    return InvalidHandle;
  }
  char name[64];
  std::snprintf(name, sizeof name, "/hq2hd-%jx-%jx.lock",
                static_cast<std::uintmax_t>(folderInfo.st_dev),
                static_cast<std::uintmax_t>(folderInfo.st_ino));
  const std::string lockPath = *claims + name;
  UniqueFd fd(OpenRetrying(lockPath, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (fd.Get() < 0) {
    StoreLastError(ErrorForName(errno, lockPath));
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
