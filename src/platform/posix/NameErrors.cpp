#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/ErrnoTable.h"
#include "platform/posix/PosixPlatform.h"

namespace hq2hd::platform::posix {
namespace {

bool DirectoryOnTheWayMissing(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const std::size_t slash = path.rfind('/', end - 1);
  // The root keeps its one "/"; a bare name lives in the current directory.
  const std::string parent =
      slash == std::string::npos ? std::string(1, '.') : path.substr(0, slash == 0 ? 1 : slash);
  struct stat info {};
  return ::stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode);
}

}  // namespace

std::uint32_t ErrorForName(int errnum, const std::string& path) {
  if (errnum == ENOENT && DirectoryOnTheWayMissing(path)) return error::PathNotFound;
  return WindowsErrorFromErrno(errnum);
}

}  // namespace hq2hd::platform::posix
