#include "MyFunc/CopyFileWithTimes.h"

#include <array>
#include <cstddef>

#include "MyFunc/SafeFileOps.h"
#include "fs/FileDelete.h"
#include "fs/FileLimits.h"
#include "fs/FileTimes.h"
#include "fs/FileVar.h"
#include "fs/IoStatus.h"
#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"

namespace hq2hd {

namespace {
constexpr std::int32_t BlockSize = 4096;
// A name that keeps reappearing between the removal and the create belongs to
// someone else at work in the folder; after this many tries the copy gives up.
constexpr int CreateAttempts = 3;

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
    const auto ioCode = static_cast<std::int32_t>(code);
    throw EInOutError(IoFailureMessage(ioCode), ioCode);
  }
}

// The destination is made new, never opened through a name that someone
// planted between the removal and the create: such a name is removed and the
// create tried again.
void CreateDestination(FileVar& file, TextView name) {
  for (int attempt = 1;; ++attempt) {
    CreateNewFile(file, 1);
    const std::int32_t code = IoStatus::Peek();
    const bool collided = code == static_cast<std::int32_t>(platform::error::FileExists) ||
                          code == static_cast<std::int32_t>(platform::error::AlreadyExists);
    if (!collided || attempt == CreateAttempts) {
      CheckIo();
      return;
    }
    IoStatus::Take();
    RemoveExistingDestination(name);
  }
}

// Only a regular file of a size the format allows is copied, and that is
// known before anything is created: a FIFO or a device could wait for ever or
// never end, and a file of 2 GiB or more would be copied whole only to be
// refused. A source that is no file is one that cannot be opened as one.
void CheckSource(const FileVar& file) {
  auto& os = platform::Os();
  if (os.HandleFileType(file.handle) != platform::FileType::Disk)
    throw EInOutError(IoFailureMessage(iocode::NotOpen), iocode::NotOpen);
  std::uint64_t size = 0;
  if (!os.FileSize(file.handle, size)) {
    const auto code = static_cast<std::int32_t>(os.LastError());
    throw EInOutError(IoFailureMessage(code), code);
  }
  if (size > MaxFileBytes) throw EInOutError(Text(catalogue::FileTooLarge), 0);
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
      CheckSource(sourceFile);
      RemoveExistingDestination(destination);
      AssignName(destinationFile, destination);
      CheckIo();
      CreateDestination(destinationFile, destination);
      outcome.destinationCreated = true;
      // Before the first byte: the copy is never readable by more users than
      // its source. A file system without permissions keeps its own.
      platform::Os().CopyPermissions(sourceFile.handle, destinationFile.handle);

      std::int32_t readCount = 0;
      std::int32_t writtenCount = 0;
      do {
        ReadBlocks(sourceFile, block.data(), BlockSize, &readCount);
        CheckIo();
        WriteBlocks(destinationFile, block.data(), readCount, &writtenCount);
        CheckIo();
      } while (readCount != 0 && writtenCount == readCount);
      // A write that took less than it was given without an error has still
      // lost bytes: the disk is full.
      if (readCount != 0)
        throw EInOutError(IoFailureMessage(iocode::WriteShort), iocode::WriteShort);
      // The work file is deleted once the copy is complete: by then its bytes
      // must be on the disk, not only in the system's cache. A flush that
      // fails leaves the copy incomplete, as a failed write does.
      FlushFileVar(destinationFile);
      CheckIo();

      CloseFileVar(destinationFile);
      CheckIo();
      outcome.completed = true;

      WriteCreationTime(destination, creation);
      WriteLastAccessTime(destination, lastAccess);
      WriteLastWriteTime(destination, lastWrite);
    } catch (...) {
      outcome.failure = std::current_exception();
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
