#pragma once
// A double over the real platform that numbers every call a run makes, can
// make any one call fail as the operating system would, or can stop the world
// at a call as if the process had been killed there. It tracks the handles it
// gave out, so a test can tell whether the program closed each one, and it
// captures the standard output.
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
};

struct Fault {
  enum class Type { Error, Short };
  Type type = Type::Error;
  // The Windows error code left by a failing call.
  std::uint32_t error = 0;
};

// The realistic ways a call of this kind fails.
const std::vector<Fault>& FaultsFor(CallKind kind);
std::string Describe(CallKind kind);
std::string Describe(const Fault& fault);

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
  // The ANSI code page the program sees; the real one when 0.
  std::uint32_t ansiCodePage = 0;

  // Forgets the last run: its calls, plan, output, and closes what the real
  // platform still holds open for it.
  void Reset();
  // Call `index` (1-based) fails in the given way.
  void FailCall(int index, Fault fault);
  // Call `index` and every later one take no effect; with `tornWrite`, a write
  // at `index` still puts half of its bytes on disk first.
  void CrashAt(int index, bool tornWrite = false);

  // From now on the folder takes no new file, no delete and no rename, and no
  // file opens for writing (error 5), as a folder without write access.
  void RefuseWrites() { refuseWrites_ = true; }

  int Calls() const { return static_cast<int>(trace_.size()); }
  const std::vector<CallRecord>& Trace() const { return trace_; }
  std::string TraceText() const;
  // Handles given to the program that it never passed to CloseHandle.
  std::size_t HandlesLeftOpen() const { return programOpen_.size(); }
  const std::string& StdoutBytes() const { return stdout_; }

  Text ModuleFileName() override;
  std::uint32_t AnsiCodePage() override;
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
  Decision Enter(CallKind kind, const char* function, TextView argument);
  Decision Enter(CallKind kind, const char* function, platform::Handle handle);
  Decision Enter(CallKind kind, const char* function, std::string argument);
  void Note(const char* outcome);
  // Leaves `error` as the last error and returns `result`.
  template <typename Result>
  Result Refuse(std::uint32_t error, Result result) {
    SetLastError(error);
    Note("refused");
    return result;
  }

  std::map<int, Fault> faults_;
  int crashAt_ = 0;
  bool tornWrite_ = false;
  bool refuseWrites_ = false;
  // The report's own calls come after this; they are checked by their bytes.
  bool reporting_ = false;
  std::vector<CallRecord> trace_;
  std::set<platform::Handle> programOpen_;
  std::set<platform::Handle> realOpen_;
  std::string stdout_;
  std::string stderr_;
};

}  // namespace hq2hd::testing
