#pragma once
// GetFullPathNameW's work on POSIX names: a relative name is put behind the
// current directory, and ".", ".." and repeated "/" are resolved by the text
// alone. Symbolic links are not followed, just as Windows does not follow
// them here.
#include "platform/Text.h"

namespace hq2hd::platform::posix {

// `currentDirectory` is absolute. A name that ends in "/" keeps that ending,
// as "C:\dir\" keeps its "\" on Windows; one that ends in "." or ".." does not.
Text MakeFullPath(TextView name, TextView currentDirectory);

}  // namespace hq2hd::platform::posix
