#pragma once
#include "platform/Text.h"

namespace hq2hd {

// For a failure that escaped the run: writes what the standard output still
// holds, then the unhandled failure report to the standard error in the OEM
// code page. Returns the process's exit code, 1.
int ReportUnhandledFailure(const char* className, TextView message);

}  // namespace hq2hd
