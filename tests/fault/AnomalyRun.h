#pragma once
// One in-process run of the program in a folder of its own, through the
// counting platform over files in memory, with what the run left behind.
// The folder is a real one too, for tests that arrange it on the disk: after
// ClearFolder, the next run starts from what the disk holds and leaves what
// it made there as well. Run starts from the memory alone.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "fault/WorkFileCases.h"
#include "platform/Platform.h"
#include "support/CountingPlatform.h"
#include "support/TempDir.h"

namespace hq2hd::testing {

struct RunOutcome {
  std::optional<std::string> workBytes;
  std::optional<std::string> scratchBytes;
  // A new work file that no run moved into place.
  bool newWorkFileLeft = false;
  std::string stdoutBytes;
  // What left RunDriver instead of a report; the program would exit with 1.
  std::string escaped;
  std::size_t handlesLeftOpen = 0;
  int calls = 0;
  std::int64_t allocations = 0;
  bool allocationFailed = false;
};

class AnomalyRunner {
 public:
  AnomalyRunner();

  // Puts the host's bytes in place, lets `plan` program the platform, and
  // runs; `failAllocation` is the allocation to fail, none when 0.
  RunOutcome Run(const WorkFileCase& workFile, const std::function<void(CountingPlatform&)>& plan,
                 std::int64_t failAllocation = 0);

  // Runs on whatever the folder holds now: in memory, or on the disk after
  // ClearFolder.
  RunOutcome RunAsIs(const std::function<void(CountingPlatform&)>& plan,
                     std::int64_t failAllocation = 0);
  // Removes everything from the folder, on the disk and in memory; until
  // the next Run, runs start from the disk and leave their files there.
  void ClearFolder();
  // The folder's names and what each holds: two runs that leave the same
  // state leave the next run the same work.
  std::string FolderState() const;

  CountingPlatform& Platform() { return platform_; }
  MemoryFileSystem& Files() { return files_; }
  const TempDir& Folder() const { return dir_; }
  // The call trace and the folder's files, for a failure message.
  std::string Evidence(const RunOutcome& outcome) const;

 private:
  void LoadFromDisk();
  void SaveToDisk() const;

  TempDir dir_;
  // The folder as the program names it, with its separator at the end.
  Text folder_;
  MemoryFileSystem files_;
  CountingPlatform platform_;
  platform::ScopedPlatform scope_;
  bool onDisk_ = false;
};

// Empty when the standard output is empty or one report line
// "ClassName: message" CR LF; else what is wrong with it.
std::string ReportLineProblem(const std::string& stdoutBytes);

// After one fault: the work file holds the host's bytes or the expected ones,
// every handle was closed, the output is at most one report line.
std::string SingleFaultBreach(const WorkFileCase& workFile, const RunOutcome& outcome);
// A run that did not rewrite the work file printed a report.
std::string SilenceProblem(const WorkFileCase& workFile, const RunOutcome& outcome);

// After several faults or a crash: the host's bytes or the expected ones are
// in the work file or in the scratch copy.
std::string SurvivalBreach(const WorkFileCase& workFile, const RunOutcome& outcome);

// The bytes of a report line on a redirected output: code page 932, CR LF.
std::string ReportLineBytes(const std::u16string& line);

// Makes the process-wide objects that a run creates on first use, so that
// every counted run makes the same calls.
void WarmUpProcessState();

}  // namespace hq2hd::testing
