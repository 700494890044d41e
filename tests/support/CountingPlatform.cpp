#include "support/CountingPlatform.h"

#include <stdexcept>

#include "support/CountingAllocations.h"

namespace hq2hd::testing {

using namespace platform;

CountingPlatform::CountingPlatform()
    : ForwardingPlatform(static_cast<platform::Platform&>(plan_)),
      realFiles_(std::make_unique<RealFiles>(NativePlatform())),
      bottom_(*realFiles_),
      clock_(bottom_, *this),
      process_(clock_, *this),
      plan_(process_, *this) {}

CountingPlatform::CountingPlatform(MemoryFileSystem& files)
    : ForwardingPlatform(static_cast<platform::Platform&>(plan_)),
      memory_(&files),
      bottom_(files),
      clock_(bottom_, *this),
      process_(clock_, *this),
      plan_(process_, *this) {}

CountingPlatform::~CountingPlatform() { Reset(); }

void CountingPlatform::Reset() {
  CountingAllocations::Pause pause;
  // A killed process gives its handles and its claim back with its end.
  bottom_.EndProcess();
  programOpen_.clear();
  plan_.Reset();
  static_cast<FaultPlan&>(*this) = FaultPlan{};
  ResetOutput();
  ResetClock();
}

void CountingPlatform::ApplyPowerLoss() {
  if (!PowerLost()) return;
  CountingAllocations::Pause pause;
  if (memory_ == nullptr) throw std::logic_error("only files in memory can lose power");
  pendingAtPowerLoss_ = memory_->PendingNameChanges();
  memory_->PowerLoss(lostNameChanges);
}

int CountingPlatform::PendingNameChanges() const {
  if (PowerLost()) return pendingAtPowerLoss_;
  return memory_ != nullptr ? memory_->PendingNameChanges() : 0;
}

Handle CountingPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t flags) {
  const Handle handle = Inner().CreateFile(name, access, share, disposition, flags);
  CountingAllocations::Pause pause;
  if (handle != InvalidHandle) programOpen_.insert(handle);
  return handle;
}

// A refused close, and one a kill stopped, still give the handle back: the
// program has done its part.
bool CountingPlatform::CloseHandle(Handle file) {
  {
    CountingAllocations::Pause pause;
    programOpen_.erase(file);
  }
  return Inner().CloseHandle(file);
}

Handle CountingPlatform::ClaimFolder(TextView folder, std::uint32_t timeoutMs) {
  const Handle claim = Inner().ClaimFolder(folder, timeoutMs);
  CountingAllocations::Pause pause;
  if (claim != InvalidHandle) programOpen_.insert(claim);
  return claim;
}

void CountingPlatform::ReleaseFolderClaim(Handle claim) {
  {
    CountingAllocations::Pause pause;
    programOpen_.erase(claim);
  }
  Inner().ReleaseFolderClaim(claim);
}

}  // namespace hq2hd::testing
