#pragma once
// The fault double's clock: a wait is seen and costs no time. Sleep moves the
// clock on at once, and so does a wait for the folder claim, which another
// process holds for `claimHeldMs` from the start of the run.
#include <cstdint>
#include <vector>

#include "support/ForwardingPlatform.h"

namespace hq2hd::testing {

struct ClockSettings {
  std::uint64_t clockMs = 0;
  std::uint32_t claimHeldMs = 0;
  // The waits asked for, in order.
  std::vector<std::uint32_t> sleeps;
  void ResetClock() { *this = ClockSettings{}; }
};

class ClockPlatform final : public ForwardingPlatform {
 public:
  ClockPlatform(platform::Platform& inner, ClockSettings& clock)
      : ForwardingPlatform(inner), clock_(clock) {}

  void Sleep(std::uint32_t milliseconds) override {
    clock_.clockMs += milliseconds;
    clock_.sleeps.push_back(milliseconds);
  }
  std::uint64_t TickCount() override { return clock_.clockMs; }
  platform::Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override {
    if (clock_.claimHeldMs > timeoutMs) {
      clock_.clockMs += timeoutMs;
      SetLastError(platform::error::WaitTimeout);
      return platform::InvalidHandle;
    }
    clock_.clockMs += clock_.claimHeldMs;
    return Inner().ClaimFolder(folder, timeoutMs);
  }

 private:
  ClockSettings& clock_;
};

}  // namespace hq2hd::testing
