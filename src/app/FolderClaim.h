#pragma once
// One run at a time in a program folder: two host windows on one folder, or a
// double click, start the program twice on one work file, and both runs use
// the one scratch name. The claim is a kernel object or an advisory lock,
// never a file in the folder, so a killed run leaves nothing stale behind.
#include <cstdint>

#include "platform/Platform.h"

namespace hq2hd {

class FolderClaim {
 public:
  // How long a run waits for the folder.
  static std::uint32_t WaitMs();

  // Waits until no other run holds the folder. A claim still held after
  // WaitMs() raises EInOutError with the sharing violation (32) before
  // anything is touched. Where the platform refuses the claim, the run goes
  // on without it, as it would on a system without one.
  explicit FolderClaim(TextView folder);
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;
  ~FolderClaim();

 private:
  platform::Handle claim_;
};

}  // namespace hq2hd
