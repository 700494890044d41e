#pragma once
#include "platform/Text.h"

namespace hq2hd {

// A file (not a directory) exists; false for an empty name. Never raises.
bool SafeFileExists(TextView name);

// True when the strict delete raised nothing; false for an empty name or any
// failure. Never raises.
bool SafeDeleteFile(TextView name);

}  // namespace hq2hd
