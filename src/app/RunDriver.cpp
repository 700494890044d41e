#include "app/RunDriver.h"

#include <new>

#include "MyFunc/CopyFileWithTimes.h"
#include "MyFunc/SafeFileOps.h"
#include "app/FolderClaim.h"
#include "app/ProgramDirectory.h"
#include "app/RewriteRule.h"
#include "app/WorkFileRestorer.h"
#include "codec/Encoding.h"
#include "codec/StreamRewrite.h"
#include "fs/FileDelete.h"
#include "fs/FileExists.h"
#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"

namespace hq2hd {

namespace {

// Reads the scratch copy and writes the work file from it, in one pass.
// False when reading or writing stopped it; the restorer has been told once
// the work file was created anew. The rule's own failures (the platform's
// lower-casing, memory) are the run's, and reported.
bool RewriteWorkFile(TextView scratchPath, TextView workPath, WorkFileRestorer& restorer) {
  // A code page the platform does not know is reported, not passed over.
  AnsiEncoding();
  try {
    StreamRewrite(scratchPath, workPath, HqLineRule,
                  [&restorer] { restorer.WorkFileOverwritten(); });
    return true;
  } catch (const EOSError&) {
    throw;
  } catch (const EOutOfMemory&) {
    throw;
  } catch (...) {
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

  if (!RewriteWorkFile(scratchPath, workPath, restorer)) return;
  restorer.Dismiss();

  // Until the new work file's name is on the disk, the scratch copy stays: a
  // duplicate the next run replaces is better than no copy at all.
  if (!platform::Os().FlushFolder(directory)) return;
  if (IsFilePresent(scratchPath, true)) RemoveFile(scratchPath);
}

}  // namespace

void RunDriver() {
  try {
    Run();
  } catch (const Exception& failure) {
    WriteFailureReport(failure.ClassName(), failure.Message());
  } catch (const std::bad_alloc&) {
    WriteFailureReport("EOutOfMemory", catalogue::OutOfMemory);
  }
}

}  // namespace hq2hd
