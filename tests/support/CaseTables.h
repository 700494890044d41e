#pragma once
// The case tables that the C++ tests share with the end-to-end harness
// (tests/cases/*.txt, built into the tests as text, so that the Windows test
// programs under Wine need no file beside them).
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace hq2hd::testing {

// One work file and what a run leaves of it (tests/cases/work_files.txt).
struct WorkFileRow {
  std::string name;
  std::string input;
  // None when what the bytes become is the platform's choice.
  std::optional<std::string> output;
  std::set<std::string> flags;
  std::set<std::string> left;
  // Empty when the run prints nothing.
  std::u16string report;

  bool Has(const std::string& flag) const { return flags.contains(flag); }
  // A file of bytes at the work file's name, which a run rewrites or reports.
  bool IsFile() const { return !Has("no-work-file") && !Has("work-file-folder"); }
};

const std::vector<WorkFileRow>& WorkFileRows();
// The rows whose bytes out are pinned: those a whole run is held to.
std::vector<WorkFileRow> PinnedWorkFileRows();

// One line and whether the rule makes it "hd" (tests/cases/rewrite_rule.txt).
struct RuleRow {
  std::u16string line;
  bool becomesHd;
};

const std::vector<RuleRow>& RuleRows();

inline void PrintTo(const WorkFileRow& row, std::ostream* out) { *out << row.name; }
void PrintTo(const RuleRow& row, std::ostream* out);

}  // namespace hq2hd::testing
