#include "app/FolderClaim.h"

#include "report/Exception.h"
#include "report/IoFailure.h"

namespace hq2hd {

// Longer than an honest run of the largest work file (2^31 - 1 bytes, read
// twice and written twice, 8 GiB in all) on a slow disk such as a USB 2 stick
// that writes 5 MB/s, which takes about 18 minutes. A program built for the
// tests may shorten it.
std::uint32_t FolderClaim::WaitMs() {
#ifdef HQ2HD_CLAIM_WAIT_MS
  return HQ2HD_CLAIM_WAIT_MS;
#else
  return 30 * 60 * 1000;
#endif
}

FolderClaim::FolderClaim(TextView folder) : claim_(platform::Os().ClaimFolder(folder, WaitMs())) {
  if (claim_ == platform::InvalidHandle &&
      platform::Os().LastError() == platform::error::WaitTimeout) {
    RaiseIoFailure(static_cast<std::int32_t>(platform::error::SharingViolation));
  }
}

FolderClaim::~FolderClaim() {
  if (claim_ != platform::InvalidHandle) platform::Os().ReleaseFolderClaim(claim_);
}

}  // namespace hq2hd
