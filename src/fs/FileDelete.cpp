#include "fs/FileDelete.h"

#include "fs/PathChecks.h"
#include "platform/Platform.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {

using namespace platform;

bool RemoveFile(TextView path) {
  auto& os = Os();
  if (os.DeleteFile(path)) return true;
  std::uint32_t code = os.LastError();
  std::uint32_t attributes = os.FileAttributes(path);
  constexpr std::uint32_t DirectoryLink = FileAttributeReparsePoint | FileAttributeDirectory;
  if (attributes != InvalidFileAttributes && (attributes & DirectoryLink) == DirectoryLink)
    return os.RemoveDirectory(path);
  os.SetLastError(code);
  return false;
}

void StrictDeleteFile(TextView path) {
  ValidatePath(path, false);
  bool removed = RemoveFile(path);
  std::uint32_t code = Os().LastError();
  if (!removed && (code == error::SharingViolation || code == error::FileNotFound ||
                   code == error::AccessDenied))
    throw EInOutError(OsMessage(code), 0);
}

}  // namespace hq2hd
