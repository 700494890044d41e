#pragma once
#include "platform/Text.h"

namespace hq2hd {

// Once the work file may have lost the host's data, the scratch copy holds
// the only copy of it. Unless dismissed after the new work file has been
// moved into place, this puts the host's bytes back under the work file's
// name on every way out: by renaming the scratch copy over it, or, when the
// work file was never deleted (another program holds it, or it is
// read-only), by removing the now needless scratch copy. A new work file that
// was not moved into place is removed either way.
class WorkFileRestorer {
 public:
  WorkFileRestorer(TextView folder, TextView scratchPath, TextView workPath, TextView newWorkPath)
      : folder_(folder),
        scratchPath_(scratchPath),
        workPath_(workPath),
        newWorkPath_(newWorkPath) {}
  WorkFileRestorer(const WorkFileRestorer&) = delete;
  WorkFileRestorer& operator=(const WorkFileRestorer&) = delete;
  ~WorkFileRestorer();

  // The work file has been deleted: the scratch copy is the host's data.
  void WorkFileDeleted() { workFileIntact_ = false; }
  void NewWorkFileCreated() { newWorkFileCreated_ = true; }
  bool WorkFileIntact() const { return workFileIntact_; }
  void Dismiss() { armed_ = false; }

 private:
  void Restore();

  TextView folder_;
  TextView scratchPath_;
  TextView workPath_;
  TextView newWorkPath_;
  bool workFileIntact_ = true;
  bool newWorkFileCreated_ = false;
  bool armed_ = true;
};

}  // namespace hq2hd
