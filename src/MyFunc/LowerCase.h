#pragma once
#include <cstdint>

#include "platform/Text.h"

namespace hq2hd {

// The locale used for lower-casing, fixed at its first use: the thread's
// locale, or US English when the platform reports none.
std::uint32_t LowerCaseLocale();

// Linguistic lower-casing of the same length; raises EOSError when the
// platform fails. Empty text is returned without asking the platform.
Text LowerCaseText(TextView text);

}  // namespace hq2hd
