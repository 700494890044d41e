#pragma once
// Work files the host may leave, each with the bytes a successful run must
// leave in its place.
#include <ostream>
#include <string>
#include <vector>

namespace hq2hd::testing {

struct WorkFileCase {
  const char* name;
  std::string hostBytes;
  std::string expectedBytes;
  // Small enough to try every pair of faults on.
  bool small;
  // What a run without faults reports: nothing, unless the file is unreadable.
  std::u16string report = {};
};

const std::vector<WorkFileCase>& WorkFileCases();

inline void PrintTo(const WorkFileCase& workFile, std::ostream* out) { *out << workFile.name; }

}  // namespace hq2hd::testing
