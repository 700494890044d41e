#pragma once
#include "platform/Text.h"

namespace hq2hd {

inline constexpr TextView ScratchFileName = u"TEMP.TXT";
inline constexpr TextView WorkFileName = u"JWC_TEMP.TXT";
// The new work file is written under this name and moved over the work file
// once it is whole, so that a work file is never found cut.
inline constexpr TextView NewWorkFileName = u"HQ2HD.NEW";

// The running executable's full name cut after its last "\", ":" or "/";
// empty (the current directory) when it holds none. A name the platform cut
// raises EPathTooLongException; no name at all (Linux without /proc) raises
// the system's error, rather than taking another folder's work file.
Text ProgramDirectory();

}  // namespace hq2hd
