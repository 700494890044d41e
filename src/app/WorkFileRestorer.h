#pragma once
#include "platform/Text.h"

namespace hq2hd {

// Once the work file has been deleted, the scratch copy holds the only copy
// of the host's data. Unless dismissed after the work file has been written
// in full, this puts it back under the work file's name on every way out.
class WorkFileRestorer {
 public:
  WorkFileRestorer(TextView scratchPath, TextView workPath)
      : scratchPath_(scratchPath), workPath_(workPath) {}
  WorkFileRestorer(const WorkFileRestorer&) = delete;
  WorkFileRestorer& operator=(const WorkFileRestorer&) = delete;
  ~WorkFileRestorer();

  void Dismiss() { armed_ = false; }
  // Renames the scratch copy over the work file; false when the platform
  // refused, in which case the scratch copy stays.
  bool Restore();

 private:
  TextView scratchPath_;
  TextView workPath_;
  bool armed_ = true;
};

}  // namespace hq2hd
