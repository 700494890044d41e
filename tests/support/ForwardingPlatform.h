#pragma once
// The doubles derive from the product's forwarding platform.
#include "platform/ForwardingPlatform.h"

namespace hq2hd::testing {
using platform::ForwardingPlatform;
}  // namespace hq2hd::testing
