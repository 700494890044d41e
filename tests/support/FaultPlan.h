#pragma once
// The fault plan: numbers every call a run makes and follows a plan for
// them. A plan makes chosen calls fail as the operating system would, by
// their number in the run or by their number among the calls of one
// function; holds a call for some tries, as another program briefly would;
// or stops the world at a call, as a kill or a power failure would. The
// layer also keeps the double's own allocations out of the program's count.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/ForwardingPlatform.h"

namespace hq2hd::testing {

// What a counted call does, as far as faults are concerned.
enum class CallKind {
  Open,
  Read,
  Write,
  Close,
  Delete,
  Rename,
  Query,
  TimeWrite,
  TimeConversion,
  FullName,
  Conversion,
  LowerCase,
  Message,
  Flush,
  Claim,
};

struct Fault {
  enum class Type { Error, Short };
  Type type = Type::Error;
  // The Windows error code left by a failing call.
  std::uint32_t error = 0;
  // How many tries of the call fail: the call and every retry of it (the same
  // call again after a wait) when 0, as a file held for good; else the call
  // and its retries up to that many tries in all, as a brief hold.
  int tries = 0;
};

// The realistic ways a call of this kind fails.
const std::vector<Fault>& FaultsFor(CallKind kind);
std::string Describe(CallKind kind);
std::string Describe(const Fault& fault);

// The n-th call (1-based) of one function fails with `error` (and every later
// one too when `andAfter`); 0 never. `calls` counts the function's calls. A
// failing call's retries fail as `tries` of Fault says.
struct CallFault {
  int failAt = 0;
  std::uint32_t error = 0;
  bool andAfter = false;
  int calls = 0;
  int tries = 0;
  bool Hit() {
    ++calls;
    return failAt != 0 && (calls == failAt || (andAfter && calls > failAt));
  }
};

// How the world stops at a crash point.
enum class Crash {
  // The process is killed: the call and every later one take no effect.
  Kill,
  // The same, but a write at the crash point puts half of its bytes on disk first.
  TornWrite,
  // The power fails: as Kill, and every file the run wrote loses what was
  // written to it since its last flush (a file never flushed holds nothing).
  // A create, delete or rename that no flush of its folder has followed is
  // kept unless `lostNameChanges` names it; each may be lost on its own.
  // Only the in-memory file system can lose power.
  PowerLoss,
};

struct CallRecord {
  CallKind kind;
  const char* function;
  std::string argument;
  std::string outcome;
};

// What a test plans for one run.
struct FaultPlan {
  // Faults by function: the n-th CreateFile (of the name `createFaultName`
  // only, without its folder, when that is not empty), ReadFile, WriteFile,
  // CloseHandle, MoveFileReplacing, DeleteFile, VolumeSupportsLinks,
  // LowerCase, FlushFileBuffers, FlushFolder, ClaimFolder.
  CallFault createFault, readFault, writeFault, closeFault, moveFault, deleteFault, volumeFault,
      lowerCaseFault, flushFault, folderFlushFault, claimFault;
  Text createFaultName;
  // The n-th read or write takes only half of what it was given, reporting success.
  int shortReadAt = 0, shortWriteAt = 0;
  // Left as the last error by every full-path call when not 0.
  std::uint32_t fullPathError = 0;
  // Lower-casing runs out of memory.
  bool lowerCaseRunsOutOfMemory = false;
  // A size to report instead of the real one.
  std::optional<std::uint64_t> reportedSize;
  // At a power loss, bit n set: the n-th (0-based) name change that no
  // folder flush followed is lost.
  std::uint32_t lostNameChanges = 0;

  // Call `index` (1-based) of the run fails in the given way.
  void FailCall(int index, Fault fault) { faults[index] = fault; }
  // The world stops at call `index`.
  void CrashAt(int index, Crash how = Crash::Kill) {
    crashAt = index;
    crash = how;
  }
  // From now on the folder takes no new file, no delete and no rename, and no
  // file opens for writing (error 5), as a folder without write access.
  void RefuseWrites() { refuseWrites = true; }
  bool PowerLost() const { return crashAt != 0 && crash == Crash::PowerLoss; }

  std::map<int, Fault> faults;
  int crashAt = 0;
  Crash crash = Crash::Kill;
  bool refuseWrites = false;
};

class FaultPlanPlatform final : public ForwardingPlatform {
 public:
  FaultPlanPlatform(platform::Platform& inner, FaultPlan& plan)
      : ForwardingPlatform(inner), plan_(plan) {}

  // Forgets the last run's calls and its plan.
  void Reset();
  const std::vector<CallRecord>& Trace() const { return trace_; }
  std::string TraceText() const;

  void Sleep(std::uint32_t milliseconds) override;
  platform::Handle StdHandle(platform::StdStream stream) override;
  bool FlushFileBuffers(platform::Handle file) override;
  bool FlushFolder(TextView folder) override;
  platform::Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override;
  void ReleaseFolderClaim(platform::Handle claim) override;
  bool VolumeSupportsLinks(TextView name, bool& supported) override;
  platform::Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t flags) override;
  bool ReadFile(platform::Handle file, void* buffer, std::uint32_t count,
                std::uint32_t& done) override;
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override;
  bool FileSize(platform::Handle file, std::uint64_t& size) override;
  bool CloseHandle(platform::Handle file) override;
  bool DeleteFile(TextView name) override;
  bool RemoveDirectory(TextView name) override;
  bool MoveFileReplacing(TextView from, TextView to) override;
  std::uint32_t FileAttributes(TextView name) override;
  bool FileAttributesEx(TextView name, platform::FileAttributeData& data) override;
  bool FindFirstEntry(TextView name, std::uint32_t& attributes) override;
  std::uint32_t FullPathName(TextView name, std::uint32_t bufferLength, char16_t* buffer) override;
  bool SetFileTimes(platform::Handle file, const platform::FileTime* creation,
                    const platform::FileTime* lastAccess,
                    const platform::FileTime* lastWrite) override;
  bool FileTimeToLocalFileTime(platform::FileTime utc, platform::FileTime& local) override;
  bool LocalFileTimeToFileTime(platform::FileTime local, platform::FileTime& utc) override;
  bool FileTimeToSystemTime(platform::FileTime time, platform::SystemTime& fields) override;
  bool SystemTimeToFileTime(const platform::SystemTime& fields, platform::FileTime& time) override;
  bool CodePageInfo(std::uint32_t codePage) override;
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes, int count,
                          char16_t* units, int unitCapacity) override;
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* units,
                          int count, char* bytes, int byteCapacity) override;
  int LowerCase(std::uint32_t locale, const char16_t* source, int count, char16_t* dest) override;
  Text SystemMessage(std::uint32_t code) override;
  bool ResolveLink(TextView name, Text& target) override;

 private:
  // What the numbered call must do instead of its real work.
  enum class Action { Pass, Fail, Short, Nothing, TornWrite };
  struct Decision {
    Action action = Action::Pass;
    std::uint32_t error = 0;
  };
  // `byFunction` is the function's own fault, consulted when the numbered
  // plan leaves the call alone.
  Decision Enter(CallKind kind, const char* function, TextView argument,
                 CallFault* byFunction = nullptr);
  Decision Enter(CallKind kind, const char* function, platform::Handle handle,
                 CallFault* byFunction = nullptr);
  Decision Enter(CallKind kind, const char* function, std::string argument,
                 CallFault* byFunction = nullptr);
  // Leaves `error` as the last error and returns `result`.
  template <typename Result>
  Result Refuse(std::uint32_t error, Result result) {
    SetLastError(error);
    if (!trace_.empty()) trace_.back().outcome = "refused";
    return result;
  }

  FaultPlan& plan_;
  // A planned fault that its call's retries meet too; `left` is how many
  // more tries fail, -1 for all of them.
  struct Hold {
    std::string function, argument;
    std::uint32_t error = 0;
    int left = 0;
    bool waitedSince = false;
  };
  std::optional<Hold> hold_;
  // The report's own calls come after this; they are checked by their bytes.
  bool reporting_ = false;
  int reads_ = 0, writes_ = 0;
  std::vector<CallRecord> trace_;
};

}  // namespace hq2hd::testing
