// The name-based file services: attributes, deletes, renames and full names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/posix/ErrnoTable.h"
#include "platform/posix/FullPath.h"
#include "platform/posix/NameCodec.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/UnixTime.h"

namespace hq2hd::platform::posix {
namespace {

inline constexpr std::uint32_t kFileAttributeArchive = 0x20;

bool TargetIsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A symbolic link plays the part of a reparse point, and like a Windows
// directory link it carries the directory bit when it leads to a directory.
// Files carry ARCHIVE, as Windows gives a newly written file; a missing owner
// write bit is the read-only attribute.
std::uint32_t AttributesFor(mode_t mode, const std::string& path) {
  if (S_ISLNK(mode))
    return FileAttributeReparsePoint | (TargetIsDirectory(path) ? FileAttributeDirectory : 0);
  const std::uint32_t readOnly = (mode & S_IWUSR) == 0 ? FileAttributeReadOnly : 0;
  return (S_ISDIR(mode) ? FileAttributeDirectory : kFileAttributeArchive) | readOnly;
}

bool LinkStatus(const std::string& path, struct stat& info) {
  if (path.empty()) return Fail(error::PathNotFound);
  if (::lstat(path.c_str(), &info) != 0) return Fail(ErrorForName(errno, path));
  return true;
}

bool CurrentDirectory(Text& directory) {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return Fail(WindowsErrorFromErrno(errno));
    buffer.resize(buffer.size() * 2);
  }
  directory = DecodeName(buffer.data());
  return true;
}

}  // namespace

bool PosixPlatform::DeleteFile(TextView name) {
  const std::string path = NativeName(name);
  struct stat info {};
  if (!LinkStatus(path, info)) return false;
  // Windows refuses to delete a directory, a directory link and a read-only
  // file with "access denied"; the attributes above say which is which.
  const std::uint32_t attributes = AttributesFor(info.st_mode, path);
  if ((attributes & (FileAttributeDirectory | FileAttributeReadOnly)) != 0)
    return Fail(error::AccessDenied);
  if (::unlink(path.c_str()) != 0) return Fail(ErrorForName(errno, path));
  return true;
}

bool PosixPlatform::RemoveDirectory(TextView name) {
  const std::string path = NativeName(name);
  struct stat info {};
  if (!LinkStatus(path, info)) return false;
  if (S_ISLNK(info.st_mode)) {
    // Removing a directory link removes the link, never what it leads to.
    if (!TargetIsDirectory(path)) return Fail(error::DirectoryNameInvalid);
    if (::unlink(path.c_str()) != 0) return Fail(ErrorForName(errno, path));
    return true;
  }
  if (!S_ISDIR(info.st_mode)) return Fail(error::DirectoryNameInvalid);
  if (::rmdir(path.c_str()) != 0) return Fail(ErrorForName(errno, path));
  return true;
}

bool PosixPlatform::MoveFileReplacing(TextView from, TextView to) {
  const std::string source = NativeName(from);
  const std::string target = NativeName(to);
  if (source.empty() || target.empty()) return Fail(error::PathNotFound);
  // Replacing applies to files only; Windows will not put anything in the
  // place of a directory or a read-only file.
  struct stat targetInfo {};
  if (::lstat(target.c_str(), &targetInfo) == 0 &&
      (AttributesFor(targetInfo.st_mode, target) &
       (FileAttributeDirectory | FileAttributeReadOnly)) != 0)
    return Fail(error::AccessDenied);
  if (::rename(source.c_str(), target.c_str()) == 0) return true;
  const int errnum = errno;
  if (errnum != ENOENT) return Fail(WindowsErrorFromErrno(errnum));
  struct stat sourceInfo {};
  if (::lstat(source.c_str(), &sourceInfo) != 0) return Fail(ErrorForName(errnum, source));
  return Fail(error::PathNotFound);
}

std::uint32_t PosixPlatform::FileAttributes(TextView name) {
  const std::string path = NativeName(name);
  struct stat info {};
  if (!LinkStatus(path, info)) return InvalidFileAttributes;
  return AttributesFor(info.st_mode, path);
}

// The times are those of the name itself, a link's own ones included, as
// GetFileAttributesExW reports them. The creation time is the birth time where
// the file system records one (ext4, btrfs, xfs, tmpfs on recent kernels),
// else 0, "not known".
bool PosixPlatform::FileAttributesEx(TextView name, FileAttributeData& data) {
  const std::string path = NativeName(name);
  if (path.empty()) return Fail(error::PathNotFound);
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
              &info) != 0)
    return Fail(ErrorForName(errno, path));
  data.attributes = AttributesFor(info.stx_mode, path);
  data.creation = (info.stx_mask & STATX_BTIME) != 0
                      ? FileTimeFromUnix(info.stx_btime.tv_sec, info.stx_btime.tv_nsec)
                      : FileTime{};
  data.lastAccess = FileTimeFromUnix(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
  data.lastWrite = FileTimeFromUnix(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  data.size = S_ISREG(info.stx_mode) ? info.stx_size : 0;
  return true;
}

// Names here never hold wildcards, so the first match is the name itself.
bool PosixPlatform::FindFirstEntry(TextView name, std::uint32_t& attributes) {
  const std::string path = NativeName(name);
  struct stat info {};
  if (!LinkStatus(path, info)) return false;
  attributes = AttributesFor(info.st_mode, path);
  return true;
}

std::uint32_t PosixPlatform::FullPathName(TextView name, std::uint32_t bufferLength,
                                          char16_t* buffer) {
  const TextView cut = name.substr(0, name.find(u'\0'));
  if (cut.empty()) {
    StoreLastError(error::InvalidName);
    return 0;
  }
  Text currentDirectory;
  if (cut.front() != u'/' && !CurrentDirectory(currentDirectory)) return 0;
  const Text full = MakeFullPath(cut, currentDirectory);
  const auto length = static_cast<std::uint32_t>(full.size());
  if (buffer == nullptr || bufferLength <= length) return length + 1;
  full.copy(buffer, length);
  buffer[length] = u'\0';
  return length;
}

}  // namespace hq2hd::platform::posix
