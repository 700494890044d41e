#include "MyFunc/CopyFileWithTimes.h"

#include <array>
#include <cstddef>

#include "MyFunc/SafeFileOps.h"
#include "fs/FileDelete.h"
#include "fs/FileTimes.h"
#include "fs/FileVar.h"
#include "fs/IoStatus.h"
#include "platform/Platform.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {

namespace {
constexpr std::int32_t BlockSize = 4096;

// Emptying an existing destination would write through it into whatever else
// it is: the file a link leads to, or the other name of a hard link, the
// source itself included. So the copy always makes a file of its own: what is
// there is removed first, and one that cannot be removed (read-only, held by
// another program, a folder) stops the copy as a failed create would.
void RemoveExistingDestination(TextView name) {
  auto& os = platform::Os();
  if (os.FileAttributes(name) == platform::InvalidFileAttributes) return;
  if (!RemoveFile(name)) {
    const std::uint32_t code = os.LastError();
    throw EInOutError(OsMessage(code), static_cast<std::int32_t>(code));
  }
}

}  // namespace

CopyOutcome CopyFileWithTimes(TextView source, TextView destination) {
  CopyOutcome outcome;
  // Read before the source is opened, so the last-access time is the host's.
  const LocalDateTime creation = ReadCreationTime(source);
  const LocalDateTime lastAccess = ReadLastAccessTime(source);
  const LocalDateTime lastWrite = ReadLastWriteTime(source);

  FileVar sourceFile;
  FileVar destinationFile;
  std::array<std::byte, BlockSize> block;
  // A failure raised inside a handler replaces the one being handled and
  // travels outward: that is what lets a close of an unopened file (103)
  // through to the caller.
  try {
    AssignName(sourceFile, source);
    CheckIo();
    FileOpenMode::Set(0);
    OpenExisting(sourceFile, 1);
    CheckIo();
    try {
      RemoveExistingDestination(destination);
      AssignName(destinationFile, destination);
      CheckIo();
      CreateTruncate(destinationFile, 1);
      CheckIo();
      outcome.destinationCreated = true;

      std::int32_t readCount = 0;
      std::int32_t writtenCount = 0;
      do {
        ReadBlocks(sourceFile, block.data(), BlockSize, &readCount);
        CheckIo();
        WriteBlocks(destinationFile, block.data(), readCount, &writtenCount);
        CheckIo();
      } while (readCount != 0 && writtenCount == readCount);
      const bool reachedEnd = readCount == 0;
      // The work file is deleted once the copy is complete: by then its bytes
      // must be on the disk, not only in the system's cache. A flush that
      // fails leaves the copy incomplete, as a failed write does.
      FlushFileVar(destinationFile);
      CheckIo();

      CloseFileVar(destinationFile);
      CheckIo();
      outcome.completed = reachedEnd;

      WriteCreationTime(destination, creation);
      WriteLastAccessTime(destination, lastAccess);
      WriteLastWriteTime(destination, lastWrite);
    } catch (...) {
      CloseFileVar(destinationFile);
      CheckIo();
      if (SafeFileExists(destination)) SafeDeleteFile(destination);
    }
    CloseFileVar(sourceFile);
    CheckIo();
  } catch (...) {
    CloseFileVar(sourceFile);
    CheckIo();
  }
  return outcome;
}

}  // namespace hq2hd
