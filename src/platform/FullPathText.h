#pragma once
#include "platform/Text.h"

namespace hq2hd::platform {

// The absolute form of a name as the platform forms it (GetFullPathNameW:
// a 260-unit first call, a second of the size it asks for); empty when it
// cannot. Leaves the platform's last error as the calls left it.
Text FullPathText(TextView name);

}  // namespace hq2hd::platform
