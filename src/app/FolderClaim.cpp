#include "app/FolderClaim.h"

namespace hq2hd {

FolderClaim::FolderClaim(TextView folder) : claim_(platform::Os().ClaimFolder(folder)) {}

FolderClaim::~FolderClaim() {
  if (claim_ != platform::InvalidHandle) platform::Os().ReleaseFolderClaim(claim_);
}

}  // namespace hq2hd
