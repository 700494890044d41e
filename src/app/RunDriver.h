#pragma once

namespace hq2hd {

// One run: copy the work file to the scratch copy, rewrite its hq lines into
// the work file, remove the scratch copy. Failures of the base class (and
// running out of memory) are reported on the standard output; anything else
// leaves this function.
void RunDriver();

}  // namespace hq2hd
