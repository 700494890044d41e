#include "platform/Platform.h"

namespace hq2hd::platform {
namespace {
Platform* current = nullptr;
}

Platform& Os() { return current != nullptr ? *current : NativePlatform(); }

ScopedPlatform::ScopedPlatform(Platform& replacement) : previous_(current) {
  current = &replacement;
}

ScopedPlatform::~ScopedPlatform() { current = previous_; }

}  // namespace hq2hd::platform
