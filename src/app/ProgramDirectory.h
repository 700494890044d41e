#pragma once
#include "platform/Text.h"

namespace hq2hd {

inline constexpr TextView ScratchFileName = u"TEMP.TXT";
inline constexpr TextView WorkFileName = u"JWC_TEMP.TXT";

// The running executable's full name cut after its last "\", ":" or "/";
// empty (the current directory) when it holds none. A name the platform cut
// raises EPathTooLongException.
Text ProgramDirectory();

}  // namespace hq2hd
