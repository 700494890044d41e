#pragma once
// The one fault double: a platform over the real one that numbers every call
// a run makes and follows a plan for them. A plan makes chosen calls fail as
// the operating system would, by their number in the run or by their number
// among the calls of one function; stops the world at a call as if the
// process had been killed there; or cuts the power there, so that files lose
// what was written to them since their last flush. The double tracks the
// handles it gave out, so a test can tell whether the program closed each
// one, and it captures the standard output and error. It keeps a clock of its
// own, so that a wait is seen and costs no time.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
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
  PowerLoss,
};

struct CallRecord {
  CallKind kind;
  const char* function;
  std::string argument;
  std::string outcome;
};

class CountingPlatform : public ForwardingPlatform {
 public:
  static constexpr platform::Handle CapturedOutput = 0x7FFF0101;
  static constexpr platform::Handle CapturedError = 0x7FFF0102;

  CountingPlatform();
  ~CountingPlatform() override;

  // What the program sees as its own executable.
  Text moduleFileName;
  // When not 0, the executable's name cannot be read (Linux without /proc):
  // an empty name with this error.
  std::uint32_t moduleFileNameError = 0;
  // The ANSI code page the program sees; the real one when 0.
  std::uint32_t ansiCodePage = 0;
  // What the standard output is, and the console's output code page (the
  // real one when 0).
  platform::FileType stdoutType = platform::FileType::Disk;
  std::uint32_t consoleCodePage = 0;
  // Writes to the standard output fail with this code when not 0.
  std::uint32_t stdoutWriteError = 0;
  // What the program wrote to its standard output and error.
  std::string stdoutBytes;
  std::string stderrBytes;

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
  // The double's own clock: Sleep moves it on at once, and so does a wait
  // for the folder claim, which another process holds for `claimHeldMs` from
  // the start of the run. The waits asked for, in order.
  std::uint64_t clockMs = 0;
  std::uint32_t claimHeldMs = 0;
  std::vector<std::uint32_t> sleeps;
  // At a power loss, bit n set: the n-th (0-based) name change that no
  // folder flush followed is lost.
  std::uint32_t lostNameChanges = 0;

  // Forgets the last run: its calls, plan, output, and closes what the real
  // platform still holds open for it.
  void Reset();
  // Call `index` (1-based) of the run fails in the given way.
  void FailCall(int index, Fault fault);
  // The world stops at call `index`.
  void CrashAt(int index, Crash crash = Crash::Kill);
  // After a power loss: puts every file the run wrote back to what it held
  // at its last flush. Nothing happens without one.
  void ApplyPowerLoss();

  // From now on the folder takes no new file, no delete and no rename, and no
  // file opens for writing (error 5), as a folder without write access.
  void RefuseWrites() { refuseWrites_ = true; }

  int Calls() const { return static_cast<int>(trace_.size()); }
  // Name changes of the run that no flush of their folder has followed.
  int PendingNameChanges() const { return static_cast<int>(pendingNames_.size()); }
  const std::vector<CallRecord>& Trace() const { return trace_; }
  std::string TraceText() const;
  // Handles and claims given to the program that it never gave back.
  std::size_t HandlesLeftOpen() const { return programOpen_.size(); }

  Text ModuleFileName() override;
  std::uint32_t AnsiCodePage() override;
  std::uint32_t ConsoleOutputCodePage() override;
  bool FlushFileBuffers(platform::Handle file) override;
  bool FlushFolder(TextView folder) override;
  platform::Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override;
  void ReleaseFolderClaim(platform::Handle claim) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCount() override { return clockMs; }
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
  platform::Handle StdHandle(platform::StdStream stream) override;
  platform::FileType HandleFileType(platform::Handle file) override;
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
  void Note(const char* outcome);
  // Leaves `error` as the last error and returns `result`.
  template <typename Result>
  Result Refuse(std::uint32_t error, Result result) {
    SetLastError(error);
    Note("refused");
    return result;
  }

  // What the disk would hold after a power loss. Each file the run touches
  // gets a number; its contents are its bytes at its last flush (those it
  // had when first touched, nothing when the run created or emptied it).
  // Names map to files twice: as the disk has them since the last flush of
  // their folder, and as the program sees them now; between the two lie the
  // pending name changes.
  struct NameChange {
    enum class Kind { Create, Delete, Rename } kind;
    Text name, to;
    int file = 0;
  };
  // Numbers the file under `name` when the run first touches it.
  void Touch(TextView name);
  std::string BytesOf(int file) const;
  std::set<Text> touchedNames_;
  std::map<Text, int> durableNames_, currentNames_;
  std::map<int, std::string> contents_;
  std::map<platform::Handle, int> writableFiles_;
  std::vector<NameChange> pendingNames_;
  int lastFile_ = 0;

  std::map<int, Fault> faults_;
  // A planned fault that its call's retries meet too; `left` is how many
  // more tries fail, -1 for all of them.
  struct Hold {
    std::string function, argument;
    std::uint32_t error = 0;
    int left = 0;
    bool waitedSince = false;
  };
  std::optional<Hold> hold_;
  int crashAt_ = 0;
  Crash crash_ = Crash::Kill;
  bool refuseWrites_ = false;
  // The report's own calls come after this; they are checked by their bytes.
  bool reporting_ = false;
  int reads_ = 0, writes_ = 0;
  std::vector<CallRecord> trace_;
  std::set<platform::Handle> programOpen_;
  std::set<platform::Handle> realOpen_;
  std::set<platform::Handle> realClaims_;
};

}  // namespace hq2hd::testing
