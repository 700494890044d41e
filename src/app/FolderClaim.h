#pragma once
// One run at a time in a program folder: two host windows on one folder, or a
// double click, start the program twice on one work file, and both runs use
// the one scratch name. The claim is a kernel object or an advisory lock,
// never a file in the folder, so a killed run leaves nothing stale behind.
#include "platform/Platform.h"

namespace hq2hd {

class FolderClaim {
 public:
  // Waits until no other run holds the folder. Where the platform refuses the
  // claim, the run goes on without it, as it would on a system without one.
  explicit FolderClaim(TextView folder);
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;
  ~FolderClaim();

 private:
  platform::Handle claim_;
};

}  // namespace hq2hd
