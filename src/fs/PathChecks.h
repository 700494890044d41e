#pragma once
// Checks a path before its times are read or written or it is deleted.
#include "platform/Text.h"

namespace hq2hd {

// Raises EPathTooLongException, ENotSupportedException, EArgumentException,
// EDirectoryNotFoundException or (when the file must exist)
// EFileNotFoundException, in that order of checks.
void ValidatePath(TextView path, bool mustExist);

// The absolute form of a path; ENotSupportedException when the platform
// leaves an error other than 0 and 2.
Text FullPathOf(TextView path);

Text DirectoryPartOf(TextView fullPath);

bool IsInvalidPathChar(char16_t unit);

}  // namespace hq2hd
