#pragma once
// A folder of the benchmark's own for the files that the file stages write,
// removed with its content at the end.
#include <filesystem>
#include <string>

#include "platform/Text.h"

namespace hq2hd::bench {

class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  // A name inside the folder as the program's platform layer takes it.
  Text Name(const std::string& leaf) const;

 private:
  std::filesystem::path path_;
};

}  // namespace hq2hd::bench
