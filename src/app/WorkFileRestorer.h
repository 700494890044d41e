#pragma once
#include "platform/Text.h"

namespace hq2hd {

// Once the work file may have lost the host's data, the scratch copy holds
// the only copy of it. Unless dismissed after the work file has been written
// in full, this puts the host's bytes back under the work file's name on every
// way out: by renaming the scratch copy over it, or, when the work file was
// never deleted or written (another program holds it open), by removing the
// now needless scratch copy.
class WorkFileRestorer {
 public:
  WorkFileRestorer(TextView folder, TextView scratchPath, TextView workPath, bool workFileDeleted)
      : folder_(folder),
        scratchPath_(scratchPath),
        workPath_(workPath),
        workFileIntact_(!workFileDeleted) {}
  WorkFileRestorer(const WorkFileRestorer&) = delete;
  WorkFileRestorer& operator=(const WorkFileRestorer&) = delete;
  ~WorkFileRestorer();

  // The work file has been deleted or opened for writing: it no longer holds
  // the host's bytes.
  void WorkFileOverwritten() { workFileIntact_ = false; }
  void Dismiss() { armed_ = false; }

 private:
  void Restore();

  TextView folder_;
  TextView scratchPath_;
  TextView workPath_;
  bool workFileIntact_;
  bool armed_ = true;
};

}  // namespace hq2hd
