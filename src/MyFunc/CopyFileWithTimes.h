#pragma once
#include <exception>

#include "platform/Text.h"

namespace hq2hd {

struct CopyOutcome {
  // Every block was read to the end of the source and written in full, and
  // the destination flushed to the disk and closed without error. Only then
  // is the copy the source's data; a destination left by someone else never
  // counts.
  bool completed = false;
  // This call created the destination.
  bool destinationCreated = false;
  // Of an incomplete copy: the failure that stopped it, for the report.
  std::exception_ptr failure;
};

// Copies in 4096-byte blocks and gives the destination the source's three
// times. Failures before the source is open, and the failure of closing it,
// reach the caller; the others are absorbed and show in the outcome.
CopyOutcome CopyFileWithTimes(TextView source, TextView destination);

}  // namespace hq2hd
