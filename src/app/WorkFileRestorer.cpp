#include "app/WorkFileRestorer.h"

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
  if (platform::Os().MoveFileReplacing(scratchPath_, workPath_)) return;
  // The host must not find a half-written work file; its data stays in the
  // scratch copy.
  if (SafeFileExists(workPath_)) SafeDeleteFile(workPath_);
}

}  // namespace hq2hd
