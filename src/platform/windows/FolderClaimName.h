#pragma once
// The name of the kernel object through which runs in one folder take turns.
#include <string>

#include "platform/Text.h"

namespace hq2hd::platform::windows {

// `prefix` (a namespace such as "Global\") followed by "hq2hd-" and 16 hex
// digits of a hash of the folder's full name as given, upper-cased by the
// caller; object names cannot hold the folder's own backslashes, and a hash
// keeps any folder within the length limit.
std::wstring FolderClaimName(const wchar_t* prefix, TextView upperCaseFullName);

}  // namespace hq2hd::platform::windows
