#pragma once
// A double over the real platform that a test programs to fail chosen calls,
// to name the executable, and to capture the standard output.
#include <cstdint>
#include <functional>
#include <string>

#include "support/ForwardingPlatform.h"

namespace hq2hd::testing {

// The n-th call (1-based) of one kind fails with `error` (and every later
// one too when `andAfter`); 0 never.
struct CallFault {
  int failAt = 0;
  std::uint32_t error = 0;
  bool andAfter = false;
  int calls = 0;
  bool Hit() {
    ++calls;
    return failAt != 0 && (calls == failAt || (andAfter && calls > failAt));
  }
};

class FaultyPlatform : public ForwardingPlatform {
 public:
  static constexpr platform::Handle CapturedOutput = 0x7FFF0001;

  FaultyPlatform() : ForwardingPlatform(platform::NativePlatform()) {}

  // What the program sees as its own executable.
  Text moduleFileName;
  // What the standard output is; its bytes are gathered in `stdoutBytes`.
  platform::FileType stdoutType = platform::FileType::Disk;
  // The console's output code page; the real one when 0.
  std::uint32_t consoleCodePage = 0;
  std::string stdoutBytes;
  std::string stderrBytes;

  CallFault createFault, readFault, writeFault, closeFault, moveFault, lowerCaseFault, deleteFault,
      volumeFault;
  // The file name (without folder) that a create fault applies to; any when empty.
  Text createFaultName;
  // The n-th read or write takes only half of what it was given, reporting success.
  int shortReadAt = 0, shortWriteAt = 0;
  // Left as the last error by every full-path call when not 0.
  std::uint32_t fullPathError = 0;
  // Lower-casing runs out of memory.
  bool lowerCaseRunsOutOfMemory = false;
  // A size to report instead of the real one.
  std::uint64_t reportedSize = 0;
  bool overrideSize = false;

  Text ModuleFileName() override;
  platform::Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t flags) override;
  bool ReadFile(platform::Handle file, void* buffer, std::uint32_t count,
                std::uint32_t& done) override;
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override;
  bool FileSize(platform::Handle file, std::uint64_t& size) override;
  bool CloseHandle(platform::Handle file) override;
  bool MoveFileReplacing(TextView from, TextView to) override;
  bool DeleteFile(TextView name) override;
  bool VolumeSupportsLinks(TextView name, bool& supported) override;
  int LowerCase(std::uint32_t locale, const char16_t* source, int count, char16_t* dest) override;
  platform::Handle StdHandle(platform::StdStream stream) override;
  platform::FileType HandleFileType(platform::Handle file) override;
  std::uint32_t FullPathName(TextView name, std::uint32_t bufferLength,
                             char16_t* buffer) override;
  std::uint32_t ConsoleOutputCodePage() override;

 private:
  int reads_ = 0, writes_ = 0;
};

}  // namespace hq2hd::testing
