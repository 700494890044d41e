#include "fault/WorkFileCases.h"

#include <string>

#include "support/CaseTables.h"

namespace hq2hd::testing {
namespace {

// 10000 bytes of numbered lines with an hq line every seventh, so that the
// copy needs blocks of 4096, 4096, 1808 and 0 bytes. The last line is filled
// up to the size and has no line break, which the run adds.
WorkFileCase TenThousandBytes() {
  constexpr std::size_t size = 10000;
  std::string host, expected;
  for (int line = 0;; ++line) {
    const bool hq = line % 7 == 3;
    const std::string text = hq ? " Hq " : "line " + std::to_string(line) + " \x82\xA0";
    if (host.size() + text.size() + 2 + 1 > size) break;
    host += text + "\r\n";
    expected += (hq ? std::string("hd") : text) + "\r\n";
  }
  const std::string last(size - host.size(), 'x');
  host += last;
  expected += last + "\r\n";
  return {"TenThousandBytes", host, expected, false};
}

}  // namespace

// The rows of tests/cases/work_files.txt marked for the sweep, and the
// ten thousand bytes.
const std::vector<WorkFileCase>& WorkFileCases() {
  static const std::vector<WorkFileCase> cases = [] {
    std::vector<WorkFileCase> sweep;
    for (const WorkFileRow& row : WorkFileRows()) {
      if (row.Has("sweep"))
        sweep.push_back({row.name.c_str(), row.input, *row.output, row.Has("pairs"), row.report});
    }
    sweep.push_back(TenThousandBytes());
    return sweep;
  }();
  return cases;
}

}  // namespace hq2hd::testing
