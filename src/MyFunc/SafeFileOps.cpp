#include "MyFunc/SafeFileOps.h"

#include "fs/FileDelete.h"
#include "fs/FileExists.h"

namespace hq2hd {

bool SafeFileExists(TextView name) { return !name.empty() && IsFilePresent(name, true); }

bool SafeDeleteFile(TextView name) {
  if (name.empty()) return false;
  try {
    StrictDeleteFile(name);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace hq2hd
