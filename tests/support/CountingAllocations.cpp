#include "support/CountingAllocations.h"

namespace hq2hd::testing {
namespace {
// The program has one thread; the tests drive it from that thread alone.
bool active = false;
int pauses = 0;
std::int64_t count = 0;
std::int64_t failAtCount = 0;
bool failed = false;
}  // namespace

void CountingAllocations::Start(std::int64_t failAt) {
  count = 0;
  failAtCount = failAt;
  failed = false;
  pauses = 0;
  active = true;
}

std::int64_t CountingAllocations::Stop() {
  active = false;
  return count;
}

bool CountingAllocations::Failed() { return failed; }

bool CountingAllocations::NextFails() {
  if (!active || pauses > 0) return false;
  ++count;
  if (count != failAtCount) return false;
  failed = true;
  return true;
}

CountingAllocations::Pause::Pause() { ++pauses; }
CountingAllocations::Pause::~Pause() { --pauses; }

}  // namespace hq2hd::testing
