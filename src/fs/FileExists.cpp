#include "fs/FileExists.h"

#include <algorithm>
#include <array>

#include "fs/PathChecks.h"
#include "platform/Platform.h"
#include "platform/UniqueHandle.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {

using namespace platform;

bool IsFilePresent(TextView path, bool followLinks) {
  auto& os = Os();
  std::uint32_t attributes = os.FileAttributes(path);
  if (attributes == InvalidFileAttributes) {
    std::uint32_t code = os.LastError();
    if (code == error::FileNotFound || code == error::PathNotFound || code == error::InvalidName)
      return false;
    // A locked or access-denied file still shows up in a directory listing.
    std::uint32_t found = 0;
    return os.FindFirstEntry(path, found) && (found & FileAttributeDirectory) == 0;
  }
  if ((attributes & FileAttributeReparsePoint) == 0)
    return (attributes & FileAttributeDirectory) == 0;
  if (!followLinks) return true;
  if ((attributes & FileAttributeDirectory) != 0) return false;
  UniqueHandle target(os.CreateFile(path, GenericRead, FileShareRead, OpenExisting, 0));
  if (target) return true;
  return os.LastError() == error::SharingViolation;
}

// The refusals that say no folder is there; after any other, one may be.
constexpr std::array NoFolderCodes{error::FileNotFound, error::PathNotFound, error::NotReady,
                                   error::BadNetPath,   error::BadNetName,   error::InvalidName,
                                   error::BadPathName};

bool IsDirectoryPresent(TextView path) {
  auto& os = Os();
  std::uint32_t attributes = os.FileAttributes(path);
  if (attributes == InvalidFileAttributes)
    return std::ranges::find(NoFolderCodes, os.LastError()) == NoFolderCodes.end();
  if ((attributes & FileAttributeReparsePoint) == 0)
    return (attributes & FileAttributeDirectory) != 0;
  UniqueHandle target(
      os.CreateFile(path, GenericRead, FileShareRead, OpenExisting, FileFlagBackupSemantics));
  if (!target) return false;
  return (attributes & FileAttributeDirectory) != 0;
}

LinkTarget ResolveLinkTarget(TextView path) {
  LinkTarget result;
  if (!IsFilePresent(path, false)) return result;
  // The volume of a link that leads nowhere cannot be asked.
  if (!IsDirectoryPresent(path) && !IsFilePresent(path, true))
    throw EDirectoryNotFoundException(Text(catalogue::DriveNotFound));
  bool volumeHasLinks = false;
  if (!Os().VolumeSupportsLinks(path, volumeHasLinks)) RaiseLastOsError();
  if (!volumeHasLinks) return result;
  std::uint32_t attributes = Os().FileAttributes(path);
  if (attributes == InvalidFileAttributes || (attributes & FileAttributeReparsePoint) == 0)
    return result;
  result.found = Os().ResolveLink(path, result.target);
  if (!result.found) result.target.clear();
  return result;
}

std::uint32_t ReadFileAttributes(TextView path) {
  std::uint32_t attributes = Os().FileAttributes(path);
  // All bits set includes the reparse bit, so an unreadable path is resolved too.
  if ((attributes & FileAttributeReparsePoint) == 0) return attributes;
  LinkTarget link = ResolveLinkTarget(path);
  if (!link.found) return InvalidFileAttributes;
  Text target = link.target;
  bool relative = target.empty() || (target[0] != u'\\' && target[0] != u'/' &&
                                     !(target.size() >= 2 && target[1] == u':'));
  if (relative) target = DirectoryPartOf(FullPathOf(path)) + u"\\" + target;
  return Os().FileAttributes(target);
}

}  // namespace hq2hd
