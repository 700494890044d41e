#include <sys/stat.h>

#include <cerrno>
#include <climits>

#include "platform/posix/ErrnoTable.h"
#include "platform/posix/PosixPlatform.h"

namespace hq2hd::platform::posix {
namespace {

bool DirectoryOnTheWayMissing(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const std::size_t slash = path.rfind('/', end - 1);
  std::string parent;
  if (slash == std::string::npos)
    parent = ".";
  else
    parent = slash == 0 ? std::string("/") : path.substr(0, slash);
  struct stat info {};
  return ::stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode);
}

}  // namespace

std::uint32_t ErrorForName(int errnum, const std::string& path) {
  if (errnum == ENOENT && DirectoryOnTheWayMissing(path)) return error::PathNotFound;
  return WindowsErrorFromErrno(errnum);
}

std::optional<int> DescriptorOf(Handle file) {
  if (file > static_cast<Handle>(INT_MAX)) return std::nullopt;
  return static_cast<int>(file);
}

}  // namespace hq2hd::platform::posix
