#pragma once
// Exists tests and attribute reads, with links (reparse points) handled.
#include <cstdint>

#include "platform/Text.h"

namespace hq2hd {

// A file, not a directory. With link following, a link counts only when its
// target can be opened (or is merely locked).
bool IsFilePresent(TextView path, bool followLinks);

// Links are always followed.
bool IsDirectoryPresent(TextView path);

// The attribute bits, following links; all bits set when unreadable.
std::uint32_t ReadFileAttributes(TextView path);

struct LinkTarget {
  bool found = false;
  Text target;
};

// Raises EDirectoryNotFoundException for a link that leads nowhere.
LinkTarget ResolveLinkTarget(TextView path);

}  // namespace hq2hd
