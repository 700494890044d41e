#include "app/RunDriver.h"

#include <new>

#include "MyFunc/CopyFileWithTimes.h"
#include "MyFunc/SafeFileOps.h"
#include "app/FolderClaim.h"
#include "app/ProgramDirectory.h"
#include "app/RewriteRule.h"
#include "app/WorkFileRestorer.h"
#include "codec/TextFile.h"
#include "fs/FileDelete.h"
#include "fs/FileExists.h"
#include "platform/Platform.h"
#include "platform/RetryingPlatform.h"
#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"

namespace hq2hd {

namespace {

// Reads the scratch copy and builds the output lines. False when the scratch
// copy could not be read.
bool BuildOutput(TextView scratchPath, LineList& output, bool& writeUtf8) {
  LineList input;
  try {
    LoadLines(input, scratchPath);
  } catch (...) {
    return false;
  }
  writeUtf8 = input.DetectedEncoding() == &Utf8Encoding();
  output = RewrittenLines(input);
  return true;
}

bool WriteWorkFile(const LineList& output, TextView workPath, bool writeUtf8,
                   WorkFileRestorer& restorer) {
  try {
    if (writeUtf8) {
      SaveLines(output, workPath, Utf8Encoding());
    } else {
      SaveLines(output, workPath);
    }
    return true;
  } catch (const EFCreateError&) {
    // Nothing was opened, so nothing of the work file was overwritten.
    return false;
  } catch (...) {
    restorer.WorkFileOverwritten();
    return false;
  }
}

void Run() {
  const Text directory = ProgramDirectory();
  const Text scratchPath = directory + Text(ScratchFileName);
  const Text workPath = directory + Text(WorkFileName);

  const FolderClaim claim(directory);

  const CopyOutcome copy = CopyFileWithTimes(workPath, scratchPath);
  // The scratch copy's name must be on the disk before the work file's goes.
  if (!copy.completed || !platform::Os().FlushFolder(directory)) {
    // The work file is untouched; a scratch copy that stopped short is of no use.
    if (copy.destinationCreated && SafeFileExists(scratchPath)) SafeDeleteFile(scratchPath);
    return;
  }

  WorkFileRestorer restorer(directory, scratchPath, workPath, RemoveFile(workPath));

  LineList output;
  bool writeUtf8 = false;
  if (!BuildOutput(scratchPath, output, writeUtf8)) return;
  if (!WriteWorkFile(output, workPath, writeUtf8, restorer)) return;
  restorer.Dismiss();

  // Until the new work file's name is on the disk, the scratch copy stays: a
  // duplicate the next run replaces is better than no copy at all.
  if (!platform::Os().FlushFolder(directory)) return;
  if (IsFilePresent(scratchPath, true)) RemoveFile(scratchPath);
}

}  // namespace

void RunDriver() {
  platform::RetryingPlatform overBriefHolds(platform::Os());
  const platform::ScopedPlatform scope(overBriefHolds);
  try {
    Run();
  } catch (const Exception& failure) {
    WriteFailureReport(failure.ClassName(), failure.Message());
  } catch (const std::bad_alloc&) {
    WriteFailureReport("EOutOfMemory", catalogue::OutOfMemory);
  }
}

}  // namespace hq2hd
