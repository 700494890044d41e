// The handle-based file services: open, read, write, size, close and the
// setting of file times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/ErrnoTable.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/UniqueFd.h"
#include "platform/posix/UnixTime.h"

namespace hq2hd::platform::posix {
namespace {

inline constexpr std::uint32_t kOpenAlways = 4;
inline constexpr std::uint32_t kTruncateExisting = 5;

Handle FailOpen(std::uint32_t code) {
  StoreLastError(code);
  return InvalidHandle;
}

int AccessFlags(std::uint32_t access) {
  const bool read = (access & GenericRead) != 0;
  const bool write = (access & GenericWrite) != 0;
  if (read && write) return O_RDWR;
  return write ? O_WRONLY : O_RDONLY;
}

// A descriptor that is open but not for this direction reads as EBADF; Windows
// calls that "access denied", keeping "invalid handle" for a closed one.
std::uint32_t TransferError(int errnum, int fd) {
  if (errnum == EBADF && ::fcntl(fd, F_GETFL) != -1) return error::AccessDenied;
  return WindowsErrorFromErrno(errnum);
}

timespec TimeSpecFor(const FileTime* time) {
  if (time == nullptr || time->ticks == 0) return timespec{0, UTIME_OMIT};
  const UnixTime unix = UnixFromFileTime(*time);
  return timespec{static_cast<time_t>(unix.seconds), static_cast<long>(unix.nanoseconds)};
}

}  // namespace

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// `share` is accepted and not enforced: POSIX has no mandatory sharing modes
// between processes, and advisory locks would only bind programs that ask
// for them. Wine runs the sharing cases of the Windows build for real.
Handle PosixPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t,
                                 std::uint32_t disposition, std::uint32_t flagsAndAttributes) {
  const std::string path = NativeName(name);
  if (path.empty()) return FailOpen(error::PathNotFound);
  // Opening a FIFO would wait for a writer, and a file that is not a
  // regular one is refused by its callers anyway: nothing waits.
  const int flags = AccessFlags(access) | O_CLOEXEC | O_NONBLOCK;
  // A new file is its owner's alone until CopyPermissions gives it the
  // permissions of the file it copies: the host's data is never readable by
  // more users than the host's own file is.
  const mode_t mode = (flagsAndAttributes & FileAttributeReadOnly) != 0 ? 0400 : 0600;
  const bool backupSemantics = (flagsAndAttributes & FileFlagBackupSemantics) != 0;

  int fd = -1;
  bool existed = false;
  switch (disposition) {
    case OpenExisting:
      fd = OpenRetrying(path, flags, 0);
      break;
    case kTruncateExisting:
      fd = OpenRetrying(path, flags | O_TRUNC, 0);
      break;
    case CreateNew:
      fd = OpenRetrying(path, flags | O_CREAT | O_EXCL, mode);
      break;
    case CreateAlways:
    case kOpenAlways:
      // Windows tells the caller whether the file was already there (183), so
      // try to create it alone first.
      fd = OpenRetrying(path, flags | O_CREAT | O_EXCL, mode);
      if (fd < 0 && errno == EEXIST) {
        existed = true;
        fd = OpenRetrying(path, flags | (disposition == CreateAlways ? O_TRUNC : 0), 0);
      }
      break;
    default:
      return FailOpen(error::InvalidParameter);
  }
  // A directory opens only for backup semantics, and then for reading alone.
  if (fd < 0 && errno == EISDIR && backupSemantics && disposition == OpenExisting)
    fd = OpenRetrying(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return FailOpen(ErrorForName(errno, path));

  UniqueFd opened(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return FailOpen(WindowsErrorFromErrno(errno));
  if (S_ISDIR(info.st_mode) && !backupSemantics) return FailOpen(error::AccessDenied);
  // Reads and writes of a device or pipe wait as they would on Windows.
  if (!S_ISREG(info.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (disposition == CreateAlways || disposition == kOpenAlways)
    StoreLastError(existed ? error::AlreadyExists : error::Success);
  return static_cast<Handle>(opened.Release());
}

bool PosixPlatform::ReadFile(Handle file, void* buffer, std::uint32_t count, std::uint32_t& done) {
  done = 0;
  const std::optional<int> fd = DescriptorOf(file);
  if (!fd) return Fail(error::InvalidHandle);
  ssize_t result;
  do {
    result = ::read(*fd, buffer, count);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return Fail(TransferError(errno, *fd));
  done = static_cast<std::uint32_t>(result);
  return true;
}

bool PosixPlatform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                              std::uint32_t& done) {
  done = 0;
  const std::optional<int> fd = DescriptorOf(file);
  if (!fd) return Fail(error::InvalidHandle);
  ssize_t result;
  do {
    result = ::write(*fd, buffer, count);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return Fail(TransferError(errno, *fd));
  done = static_cast<std::uint32_t>(result);
  return true;
}

bool PosixPlatform::FileSize(Handle file, std::uint64_t& size) {
  const std::optional<int> fd = DescriptorOf(file);
  if (!fd) return Fail(error::InvalidHandle);
  struct stat info {};
  if (::fstat(*fd, &info) != 0) return Fail(WindowsErrorFromErrno(errno));
  // Windows gives directories and devices no size.
  size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
  return true;
}

bool PosixPlatform::CloseHandle(Handle file) {
  const std::optional<int> fd = DescriptorOf(file);
  if (!fd) return Fail(error::InvalidHandle);
  // Linux releases the descriptor even when close reports EINTR, so a retry
  // could close someone else's; EINTR therefore counts as closed.
  if (::close(*fd) != 0 && errno != EINTR) return Fail(WindowsErrorFromErrno(errno));
  return true;
}

bool PosixPlatform::CopyPermissions(Handle model, Handle file) {
  const std::optional<int> from = DescriptorOf(model);
  const std::optional<int> to = DescriptorOf(file);
  if (!from || !to) return Fail(error::InvalidHandle);
  struct stat info {};
  if (::fstat(*from, &info) != 0) return Fail(WindowsErrorFromErrno(errno));
  // The owner keeps reading and writing it: no write bit would make it a
  // read-only file, which the program could not delete or replace.
  if (::fchmod(*to, (info.st_mode & 0777) | S_IRUSR | S_IWUSR) != 0)
    return Fail(WindowsErrorFromErrno(errno));
  return true;
}

// The creation time cannot be set on POSIX and is passed over, as a time the
// platform refuses is.
bool PosixPlatform::SetFileTimes(Handle file, const FileTime*, const FileTime* lastAccess,
                                 const FileTime* lastWrite) {
  const std::optional<int> fd = DescriptorOf(file);
  if (!fd) return Fail(error::InvalidHandle);
  for (const FileTime* time : {lastAccess, lastWrite})
    if (time != nullptr && !SplitFileTime(*time)) return Fail(error::InvalidParameter);
  const timespec times[2] = {TimeSpecFor(lastAccess), TimeSpecFor(lastWrite)};
  if (::futimens(*fd, times) != 0) return Fail(WindowsErrorFromErrno(errno));
  return true;
}

}  // namespace hq2hd::platform::posix
