#pragma once
// The fault double, assembled: a stack of small layers, each a platform over
// the next, from the program down to where the files live.
//
//   CountingPlatform   the handles the program was given and gave back
//   FaultPlanPlatform  numbered calls, faults by call or by function, holds,
//                      kills and torn writes (support/FaultPlan.h)
//   ProcessView        the program's own name, code pages, captured standard
//                      output and error (support/ProcessView.h)
//   ClockPlatform      the double's clock: Sleep, TickCount, the claim's wait
//                      (support/ClockPlatform.h)
//   bottom             the real platform (RealFiles, support/FileBottom.h) or
//                      the in-memory file system (support/MemoryFileSystem.h),
//                      which alone can lose power
//
// The settings of the layers (the plan, the process, the clock) are the
// double's public members, so that a test programs one object.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/ClockPlatform.h"
#include "support/FaultPlan.h"
#include "support/FileBottom.h"
#include "support/MemoryFileSystem.h"
#include "support/ProcessView.h"

namespace hq2hd::testing {

class CountingPlatform : public FaultPlan,
                         public ProcessSettings,
                         public ClockSettings,
                         public ForwardingPlatform {
 public:
  static constexpr platform::Handle CapturedOutput = ProcessView::CapturedOutput;
  static constexpr platform::Handle CapturedError = ProcessView::CapturedError;

  // Over the real platform's files.
  CountingPlatform();
  // Over files in memory.
  explicit CountingPlatform(MemoryFileSystem& files);
  ~CountingPlatform() override;

  // Forgets the last run: its calls, plan, output, clock, and closes what the
  // bottom still holds open for it, as the end of its process would.
  void Reset();
  // After a power loss: the files and names go back to what the last
  // flushes made durable. Nothing happens without one.
  void ApplyPowerLoss();

  int Calls() const { return static_cast<int>(Trace().size()); }
  // Name changes of the run that no flush of their folder has followed (at
  // the power loss, after one).
  int PendingNameChanges() const;
  const std::vector<CallRecord>& Trace() const { return plan_.Trace(); }
  std::string TraceText() const { return plan_.TraceText(); }
  // Handles and claims given to the program that it never gave back.
  std::size_t HandlesLeftOpen() const { return programOpen_.size(); }

  platform::Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t flags) override;
  bool CloseHandle(platform::Handle file) override;
  platform::Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override;
  void ReleaseFolderClaim(platform::Handle claim) override;

 private:
  std::unique_ptr<RealFiles> realFiles_;
  MemoryFileSystem* memory_ = nullptr;
  FileBottom& bottom_;
  ClockPlatform clock_;
  ProcessView process_;
  FaultPlanPlatform plan_;
  std::set<platform::Handle> programOpen_;
  int pendingAtPowerLoss_ = 0;
};

}  // namespace hq2hd::testing
