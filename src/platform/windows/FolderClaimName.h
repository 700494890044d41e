#pragma once
// The name of the kernel object through which runs in one folder take turns.
#include <string>

#include "platform/Text.h"

namespace hq2hd::platform::windows {

// `prefix` (a namespace such as "Local\") followed by "hq2hd-" and 16 hex
// digits of a hash of `key`, what names the folder (its volume and file ID,
// or its upper-cased full name); object names cannot hold the folder's own
// backslashes, and a hash keeps any folder within the length limit.
std::wstring FolderClaimName(const wchar_t* prefix, TextView key);

// The name of the claim's mutex for `folder`; empty when the folder cannot be
// named.
std::wstring FolderClaimObjectName(TextView folder);

}  // namespace hq2hd::platform::windows
