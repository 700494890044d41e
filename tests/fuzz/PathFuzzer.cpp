// Arbitrary UTF-16 as a path: the checks may refuse it with one of the
// program's failures, and must do nothing else.
#include <cstddef>
#include <cstdint>

#include "fs/PathChecks.h"
#include "report/Exception.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hq2hd;
  Text path(size / 2, u'\0');
  for (std::size_t k = 0; k < path.size(); ++k)
    path[k] = static_cast<char16_t>(data[2 * k] | data[2 * k + 1] << 8);
  for (bool mustExist : {false, true}) {
    try {
      ValidatePath(path, mustExist);
    } catch (const Exception&) {
    }
  }
  try {
    DirectoryPartOf(FullPathOf(path));
  } catch (const Exception&) {
  }
  DirectoryPartOf(path);
  return 0;
}
