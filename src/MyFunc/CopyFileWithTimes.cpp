#include "MyFunc/CopyFileWithTimes.h"

#include <array>
#include <cstddef>
#include <exception>

#include "MyFunc/SafeFileOps.h"
#include "fs/FileDelete.h"
#include "fs/FileLimits.h"
#include "fs/FileTimes.h"
#include "fs/FileVar.h"
#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/IoFailure.h"

namespace hq2hd {

namespace {
constexpr std::int32_t BlockSize = 4096;
// A name that keeps reappearing between the removal and the create belongs to
// someone else at work in the folder; after this many tries the copy gives up.
constexpr int CreateAttempts = 3;

// What a sequence of steps raised, as a value; none when it ran to its end.
template <class Steps>
std::exception_ptr FailureOf(Steps&& steps) try {
  steps();
  return nullptr;
} catch (...) {
  return std::current_exception();
}

// A close's outcome as a value: 0, 1 for a failed close, 103 for a file that
// was not open.
std::int32_t CloseCode(FileVar& file) {
  CloseFileVar(file);
  return IoStatus::Take();
}

// Emptying an existing destination would write through it into whatever else
// it is: the file a link leads to, or the other name of a hard link, the
// source itself included. So the copy always makes a file of its own: what is
// there is removed first, and one that cannot be removed (read-only, held by
// another program, a folder) stops the copy as a failed create would.
void RemoveExistingDestination(TextView name) {
  auto& os = platform::Os();
  if (os.FileAttributes(name) == platform::InvalidFileAttributes) return;
  if (!RemoveFile(name)) RaiseIoFailure(static_cast<std::int32_t>(os.LastError()));
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
  if (os.HandleFileType(file.handle) != platform::FileType::Disk) RaiseIoFailure(iocode::NotOpen);
  std::uint64_t size = 0;
  if (!os.FileSize(file.handle, size)) RaiseIoFailure(static_cast<std::int32_t>(os.LastError()));
  if (size > MaxFileBytes) throw EInOutError(Text(catalogue::FileTooLarge), 0);
}

// Everything once the source is open: the first failure stops the copy.
void CopyFromOpenSource(FileVar& sourceFile, FileVar& destinationFile, TextView destination,
                        CopyOutcome& outcome) {
  CheckSource(sourceFile);
  RemoveExistingDestination(destination);
  AssignName(destinationFile, destination);
  CheckIo();
  CreateDestination(destinationFile, destination);
  outcome.destinationCreated = true;
  // Before the first byte: the copy is never readable by more users than
  // its source. A file system without permissions keeps its own.
  platform::Os().CopyPermissions(sourceFile.handle, destinationFile.handle);

  std::array<std::byte, BlockSize> block;
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
  if (readCount != 0) RaiseIoFailure(iocode::WriteShort);
  // The work file is deleted once the copy is complete: by then its bytes
  // must be on the disk, not only in the system's cache. A flush that
  // fails leaves the copy incomplete, as a failed write does.
  FlushFileVar(destinationFile);
  CheckIo();

  CloseFileVar(destinationFile);
  CheckIo();
  outcome.completed = true;
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
  const std::exception_ptr openFailure = FailureOf([&] {
    AssignName(sourceFile, source);
    CheckIo();
    FileOpenMode::Set(0);
    OpenExisting(sourceFile, 1);
    CheckIo();
  });
  // Whether the source is closed in the ordinary course: after an open that
  // succeeded, and a copy that ended or whose destination closed after it.
  bool ordinaryClose = !openFailure;
  if (!openFailure) {
    outcome.failure = FailureOf([&] {
      CopyFromOpenSource(sourceFile, destinationFile, destination, outcome);
      WriteCreationTime(destination, creation);
      WriteLastAccessTime(destination, lastAccess);
      WriteLastWriteTime(destination, lastWrite);
    });
    // After a failure the destination is deleted, but only when this close
    // succeeded: one not open by then (never created, or already complete)
    // or whose close failed is left as it is.
    if (outcome.failure) ordinaryClose = CloseCode(destinationFile) == 0;
    if (outcome.failure && ordinaryClose && SafeFileExists(destination))
      SafeDeleteFile(destination);
  }

  // The one place that decides what reaches the caller: the source's close.
  // A failed close in the ordinary course is followed by a second close of
  // the file, by then not open, and that 103 travels on; after a failed open
  // or a destination that would not close, the source close's own code does.
  std::int32_t sourceClosed = CloseCode(sourceFile);
  if (sourceClosed != 0 && ordinaryClose) sourceClosed = CloseCode(sourceFile);
  if (sourceClosed != 0) RaiseIoFailure(sourceClosed);
  return outcome;
}

}  // namespace hq2hd
