#include "support/FileBottom.h"

namespace hq2hd::testing {

using namespace platform;

void RealFiles::EndProcess() {
  for (Handle handle : open_) Inner().CloseHandle(handle);
  for (Handle claim : claims_) Inner().ReleaseFolderClaim(claim);
  open_.clear();
  claims_.clear();
}

Handle RealFiles::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                             std::uint32_t disposition, std::uint32_t flags) {
  const Handle handle = Inner().CreateFile(name, access, share, disposition, flags);
  if (handle != InvalidHandle) open_.insert(handle);
  return handle;
}

bool RealFiles::CloseHandle(Handle file) {
  open_.erase(file);
  return Inner().CloseHandle(file);
}

Handle RealFiles::ClaimFolder(TextView folder, std::uint32_t timeoutMs) {
  const Handle claim = Inner().ClaimFolder(folder, timeoutMs);
  if (claim != InvalidHandle) claims_.insert(claim);
  return claim;
}

void RealFiles::ReleaseFolderClaim(Handle claim) {
  if (claims_.erase(claim) != 0) Inner().ReleaseFolderClaim(claim);
}

}  // namespace hq2hd::testing
