#pragma once
// Rides out a brief hold by another process. Virus scanners, the search
// indexer, backup agents and sync clients open a file just after it is
// written or renamed, for tens or hundreds of milliseconds, often without
// sharing deletes. A call that fails with a code such a hold causes is tried
// again after a wait that grows by 25 ms each time, ten times at most (as
// SQLite's Windows layer does), and all the waits of one run end after about
// 2 s, so that a file held for good does not keep the host waiting long.
// Everything else passes through untouched, closes above all (a handle closed
// twice may by then be someone else's): a run that meets no hold makes
// exactly the calls it made without this layer.
#include <cstdint>

#include "platform/ForwardingPlatform.h"

namespace hq2hd::platform {

namespace retry {
inline constexpr std::uint32_t MostRetries = 10;
inline constexpr std::uint32_t WaitStepMs = 25;
inline constexpr std::uint64_t RunBudgetMs = 2000;
}  // namespace retry

class RetryingPlatform final : public ForwardingPlatform {
 public:
  explicit RetryingPlatform(Platform& inner) : ForwardingPlatform(inner) {}

  Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flagsAndAttributes) override;
  bool ReadFile(Handle file, void* buffer, std::uint32_t count, std::uint32_t& done) override;
  bool WriteFile(Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override;
  bool FileSize(Handle file, std::uint64_t& size) override;
  bool DeleteFile(TextView name) override;
  bool MoveFileReplacing(TextView from, TextView to) override;
  std::uint32_t FileAttributes(TextView name) override;
  bool FileAttributesEx(TextView name, FileAttributeData& data) override;
  bool FindFirstEntry(TextView name, std::uint32_t& attributes) override;
  bool SetFileTimes(Handle file, const FileTime* creation, const FileTime* lastAccess,
                    const FileTime* lastWrite) override;
  bool FlushFileBuffers(Handle file) override;
  bool FlushFolder(TextView folder) override;
  bool ResolveLink(TextView name, Text& target) override;
  bool VolumeSupportsLinks(TextView name, bool& supported) override;

 private:
  // Makes the call until it succeeds, fails with a code no hold causes, or
  // the tries or the run's budget are used up. The last try's result and
  // last error stand.
  template <typename Attempt, typename Failed>
  auto Tried(TextView name, Attempt attempt, Failed failed);

  std::uint64_t spentMs_ = 0;
};

}  // namespace hq2hd::platform
