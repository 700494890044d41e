#pragma once
// The work files that make_work_files.py writes, loaded once and shared by the
// benchmarks.
#include <filesystem>
#include <string>
#include <string_view>

namespace hq2hd::bench {

struct WorkFileData {
  std::filesystem::path file;
  // The whole file, byte-order mark included, and the body after the mark.
  std::string bytes;
  std::string_view body;
  bool utf8 = false;
};

enum class WorkFileKind { Cp932, Utf8 };

// Set once from the command line, before the first benchmark runs.
void SetDataFolder(const std::filesystem::path& folder);

// Loads the file at first use; exits with a message when the data folder
// lacks it, since every figure would be meaningless.
const WorkFileData& Data(WorkFileKind kind);

}  // namespace hq2hd::bench
