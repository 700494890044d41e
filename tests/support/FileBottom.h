#pragma once
// The bottom of the fault double's stack: where the files live. Either the
// real platform (RealFiles) or the in-memory file system (MemoryFileSystem).
// Whatever the bottom, the end of a process gives back what it held open.
#include <set>

#include "support/ForwardingPlatform.h"

namespace hq2hd::testing {

class FileBottom : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;
  // Closes every handle and releases every claim still held, as the end of
  // the process (a kill included) does.
  virtual void EndProcess() = 0;
};

// The real platform, with a note of the handles and claims it gave out, so
// that a killed run's are closed before the next one.
class RealFiles final : public FileBottom {
 public:
  explicit RealFiles(platform::Platform& real) : FileBottom(real) {}
  ~RealFiles() override { EndProcess(); }

  void EndProcess() override;
  platform::Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t flags) override;
  bool CloseHandle(platform::Handle file) override;
  platform::Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override;
  void ReleaseFolderClaim(platform::Handle claim) override;

 private:
  std::set<platform::Handle> open_, claims_;
};

}  // namespace hq2hd::testing
