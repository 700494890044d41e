// Symbolic links play the part of reparse points: their target is the
// canonical name of what they finally lead to.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/posix/NameCodec.h"
#include "platform/posix/PosixPlatform.h"

namespace hq2hd::platform::posix {

bool PosixPlatform::ResolveLink(TextView name, Text& target) {
  const std::string path = NativeName(name);
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) {
    StoreLastError(ErrorForName(errno, path));
    return false;
  }
  target = DecodeName(resolved.get());
  return true;
}

}  // namespace hq2hd::platform::posix
