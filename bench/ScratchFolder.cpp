#include "ScratchFolder.h"

#include <chrono>

namespace hq2hd::bench {

ScratchFolder::ScratchFolder() {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() / ("hq2hd-bench-" + std::to_string(stamp));
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Text ScratchFolder::Name(const std::string& leaf) const { return (path_ / leaf).u16string(); }

}  // namespace hq2hd::bench
