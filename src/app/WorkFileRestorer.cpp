#include "app/WorkFileRestorer.h"

#include "MyFunc/CopyFileWithTimes.h"
#include "MyFunc/SafeFileOps.h"
#include "fs/FileDelete.h"
#include "platform/Platform.h"

namespace hq2hd {

WorkFileRestorer::~WorkFileRestorer() {
  if (!armed_) return;
  try {
    Restore();
  } catch (...) {
    // The scratch copy stays where it is; nothing is lost.
  }
}

void WorkFileRestorer::Restore() {
  armed_ = false;
  // Never the host's data; one that cannot be removed now goes at the next run.
  if (newWorkFileCreated_) RemoveFile(newWorkPath_);
  if (workFileIntact_) {
    RemoveFile(scratchPath_);
    return;
  }
  // Once back under its name, the host's data must stay there after a power
  // failure too: the folder is flushed after a rename or a copy back.
  if (platform::Os().MoveFileReplacing(scratchPath_, workPath_)) {
    platform::Os().FlushFolder(folder_);
    return;
  }
  // A refused rename (the scratch copy held open by another program, say)
  // may still allow a copy; the scratch copy is kept either way.
  CopyOutcome copy;
  try {
    copy = CopyFileWithTimes(scratchPath_, workPath_);
  } catch (...) {
    // The copy created nothing; the host's data stays in the scratch copy.
    return;
  }
  if (copy.completed) {
    platform::Os().FlushFolder(folder_);
    return;
  }
  // The host must not find a cut work file; its data stays in the scratch copy.
  if (copy.destinationCreated && SafeFileExists(workPath_)) SafeDeleteFile(workPath_);
}

}  // namespace hq2hd
