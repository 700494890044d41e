#include "app/WorkFileRestorer.h"

#include "MyFunc/SafeFileOps.h"
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

bool WorkFileRestorer::Restore() {
  armed_ = false;
  if (platform::Os().MoveFileReplacing(scratchPath_, workPath_)) return true;
  // The host must not find a half-written work file; its data stays in the
  // scratch copy.
  if (SafeFileExists(workPath_)) SafeDeleteFile(workPath_);
  return false;
}

}  // namespace hq2hd
