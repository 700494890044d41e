#pragma once
#include "platform/Text.h"

namespace hq2hd {

// Deletes a file (a directory link as a directory). False on failure, with
// the platform's code left as the last error; never raises.
bool RemoveFile(TextView path);

// Validates the path first; raises EInOutError when the platform refuses with
// 2, 5 or 32, and passes every other refusal silently.
void StrictDeleteFile(TextView path);

}  // namespace hq2hd
