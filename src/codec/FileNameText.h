#pragma once
#include "platform/Text.h"

namespace hq2hd {

// The absolute form of a file name for a message; empty when the platform
// cannot form it. Never raises.
Text AbsoluteNameOrEmpty(TextView path);

}  // namespace hq2hd
