#pragma once
// What the program sees of its process: its own name, the code pages, and
// standard output and error, which are captured.
#include <cstdint>
#include <string>

#include "support/ForwardingPlatform.h"

namespace hq2hd::testing {

struct ProcessSettings {
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
  // Forgets the last run's output and faults; the name and code pages stay.
  void ResetOutput() {
    stdoutWriteError = 0;
    moduleFileNameError = 0;
    stdoutBytes.clear();
    stderrBytes.clear();
  }
};

class ProcessView final : public ForwardingPlatform {
 public:
  static constexpr platform::Handle CapturedOutput = 0x7FFF0101;
  static constexpr platform::Handle CapturedError = 0x7FFF0102;
  static bool Captured(platform::Handle file) {
    return file == CapturedOutput || file == CapturedError;
  }

  ProcessView(platform::Platform& inner, ProcessSettings& process)
      : ForwardingPlatform(inner), process_(process) {}

  Text ModuleFileName() override;
  std::uint32_t AnsiCodePage() override {
    return process_.ansiCodePage != 0 ? process_.ansiCodePage : Inner().AnsiCodePage();
  }
  std::uint32_t ConsoleOutputCodePage() override {
    return process_.consoleCodePage != 0 ? process_.consoleCodePage
                                         : Inner().ConsoleOutputCodePage();
  }
  platform::Handle StdHandle(platform::StdStream stream) override;
  platform::FileType HandleFileType(platform::Handle file) override;
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override;
  bool CloseHandle(platform::Handle file) override {
    return Captured(file) || Inner().CloseHandle(file);
  }

 private:
  ProcessSettings& process_;
};

}  // namespace hq2hd::testing
