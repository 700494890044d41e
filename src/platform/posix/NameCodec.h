#pragma once
// File names are UTF-8 on disk but UTF-16 in the program. A byte that is not
// part of valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF (0xDC00 plus
// the byte) and turns back into that byte, so every name found on disk can be
// named again.
#include <string>
#include <string_view>

#include "platform/Text.h"

namespace hq2hd::platform::posix {

Text DecodeName(std::string_view bytes);

// A lone surrogate outside U+DC80..U+DCFF has no byte of its own; it is
// written in the generalized 3-byte form (ED A0 80 for U+D800), which a later
// DecodeName reads as three escaped bytes. Windows accepts such names, so the
// file can still be created and opened under the same name.
std::string EncodeName(TextView name);

}  // namespace hq2hd::platform::posix
