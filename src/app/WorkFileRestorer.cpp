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
  try {
    if (CopyFileWithTimes(scratchPath_, workPath_).completed) {
      platform::Os().FlushFolder(folder_);
      return;
    }
  } catch (...) {
    // What the copy or the failed write left is removed below all the same.
  }
  // The host must not find a half-written work file; its data stays in the
  // scratch copy.
  if (SafeFileExists(workPath_)) SafeDeleteFile(workPath_);
}

}  // namespace hq2hd
