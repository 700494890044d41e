#pragma once
// The work files that make_work_files.py writes, loaded once and shared by the
// benchmarks, with each stage's input prepared from the stage before it.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "codec/Encoding.h"
#include "codec/LineList.h"
#include "platform/Text.h"

namespace hq2hd::bench {

struct WorkFileData {
  std::filesystem::path file;
  // The whole file, byte-order mark included, and the body after the mark.
  std::string bytes;
  std::string_view body;
  const Encoding* encoding = nullptr;
  Text decoded;
  std::vector<TextView> lines;
  // Every line followed by CR LF, as the program writes it.
  Text joined;
};

enum class WorkFileKind { Cp932, Utf8 };

// Set once from the command line, before the first benchmark runs.
void SetDataFolder(const std::filesystem::path& folder);

// Loads and prepares the file at first use; exits with a message when the
// data folder lacks it, since every figure would be meaningless.
const WorkFileData& Data(WorkFileKind kind);

}  // namespace hq2hd::bench
