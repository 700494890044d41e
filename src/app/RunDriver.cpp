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
#include "platform/UniqueHandle.h"
#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {

namespace {

// A new work file left by a run that was stopped is never the host's data:
// the work file or the scratch copy holds that.
void RemoveLeftover(TextView name) {
  if (platform::Os().FileAttributes(name) != platform::InvalidFileAttributes) RemoveFile(name);
}

// The new work file takes the work file's name in one step, replacing
// whatever stands there without writing through it. Refused where another
// program holds the work file or it is read-only: the report is then the one
// that opening it for writing gives, as it was when the work file was
// written in place.
void MoveIntoPlace(TextView newWorkPath, TextView workPath, bool workFileIntact) {
  auto& os = platform::Os();
  if (os.MoveFileReplacing(newWorkPath, workPath)) return;
  std::uint32_t code = os.LastError();
  if (workFileIntact) {
    const platform::UniqueHandle probe(
        os.CreateFile(workPath, platform::GenericRead | platform::GenericWrite, 0,
                      platform::OpenExisting, platform::FileAttributeNormal));
    if (!probe) code = os.LastError();
  }
  RaiseCannotCreate(workPath, code);
}

// Nothing printed tells the host that the work file was rewritten, so every
// way out before that raises: the report follows once the restorer has put
// the host's bytes back. The work file is never written in place: a run
// stopped at any moment leaves it whole, the host's or the rewritten one, or
// absent with the host's bytes in the scratch copy.
void Run() {
  const Text directory = ProgramDirectory();
  const Text scratchPath = directory + Text(ScratchFileName);
  const Text workPath = directory + Text(WorkFileName);
  const Text newWorkPath = directory + Text(NewWorkFileName);

  const FolderClaim claim(directory);
  RemoveLeftover(newWorkPath);

  const CopyOutcome copy = CopyFileWithTimes(workPath, scratchPath);
  if (!copy.completed) {
    // The work file is untouched; a scratch copy that stopped short is of no use.
    if (copy.destinationCreated && SafeFileExists(scratchPath)) SafeDeleteFile(scratchPath);
    std::rethrow_exception(copy.failure);
  }

  WorkFileRestorer restorer(directory, scratchPath, workPath, newWorkPath);
  // The scratch copy's name must be on the disk before the work file's goes.
  if (!platform::Os().FlushFolder(directory)) RaiseLastOsError();
  if (RemoveFile(workPath)) restorer.WorkFileDeleted();

  StreamRewrite(scratchPath, newWorkPath, HqLineRule,
                [&restorer] { restorer.NewWorkFileCreated(); });
  MoveIntoPlace(newWorkPath, workPath, restorer.WorkFileIntact());
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
