#pragma once
// The case tables the C++ tests share with the end-to-end harness
// (tests/cases/*.txt), built in as text: the Windows tests under Wine need no
// file beside them.
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace hq2hd::testing {

struct WorkFileRow {
  std::string name;
  std::string input;
  std::optional<std::string> output;  // none: the platform's choice
  std::set<std::string> flags;
  std::set<std::string> left;
  std::u16string report;  // empty: the run prints nothing

  bool Has(const std::string& flag) const { return flags.contains(flag); }
  // A file of bytes at the work file's name.
  bool IsFile() const { return !Has("no-work-file") && !Has("work-file-folder"); }
};

const std::vector<WorkFileRow>& WorkFileRows();
// The rows a whole run is held to: those whose bytes out are pinned.
std::vector<WorkFileRow> PinnedWorkFileRows();

struct RuleRow {
  std::u16string line;
  bool becomesHd;
};

const std::vector<RuleRow>& RuleRows();

inline void PrintTo(const WorkFileRow& row, std::ostream* out) { *out << row.name; }
void PrintTo(const RuleRow& row, std::ostream* out);

}  // namespace hq2hd::testing
