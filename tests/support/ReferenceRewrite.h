#pragma once
// What a run writes for a work file's bytes, worked out the plain way and
// without the codec: the whole file decoded by the platform, split into
// lines, each line put to the rule and the text encoded again. The tests and
// the codec fuzzer hold the one pass to it.
#include <optional>
#include <string>
#include <string_view>

namespace hq2hd::testing {

// None where the run must refuse the file: a UTF-8 body after its mark that
// is not UTF-8.
std::optional<std::string> ReferenceRewrite(std::string_view input);

}  // namespace hq2hd::testing
