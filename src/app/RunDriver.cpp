#include "app/RunDriver.h"

#include <exception>
#include <new>

#include "MyFunc/CopyFileWithTimes.h"
#include "MyFunc/SafeFileOps.h"
#include "app/FolderClaim.h"
#include "app/ProgramDirectory.h"
#include "app/RewriteRule.h"
#include "app/WorkFileRestorer.h"
#include "codec/StreamRewrite.h"
#include "fs/FileDelete.h"
#include "fs/FileExists.h"
#include "platform/Platform.h"
#include "platform/RetryingPlatform.h"
#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {

namespace {

// Reads the scratch copy and writes the work file from it, in one pass. What
// stopped it is raised; the restorer has been told once the work file was
// created anew.
void RewriteWorkFile(TextView scratchPath, TextView workPath, WorkFileRestorer& restorer) {
  StreamRewrite(scratchPath, workPath, HqLineRule,
                [&restorer] { restorer.WorkFileOverwritten(); });
}

// Nothing printed tells the host that the work file was rewritten, so every
// way out before that raises: the report follows once the restorer has put
// the host's bytes back.
void Run() {
  const Text directory = ProgramDirectory();
  const Text scratchPath = directory + Text(ScratchFileName);
  const Text workPath = directory + Text(WorkFileName);

  const FolderClaim claim(directory);

  const CopyOutcome copy = CopyFileWithTimes(workPath, scratchPath);
  if (!copy.completed) {
    // The work file is untouched; a scratch copy that stopped short is of no use.
    if (copy.destinationCreated && SafeFileExists(scratchPath)) SafeDeleteFile(scratchPath);
    std::rethrow_exception(copy.failure);
  }

  WorkFileRestorer restorer(directory, scratchPath, workPath, false);
  // The scratch copy's name must be on the disk before the work file's goes.
  if (!platform::Os().FlushFolder(directory)) RaiseLastOsError();
  if (RemoveFile(workPath)) restorer.WorkFileOverwritten();

  RewriteWorkFile(scratchPath, workPath, restorer);
  restorer.Dismiss();

  // Until the new work file's name is on the disk, the scratch copy stays: a
  // duplicate the next run replaces is better than no copy at all. The work
  // file is rewritten either way, so nothing is reported.
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
