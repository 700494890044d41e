#pragma once
// The standard output as the failure report uses it: opened at the first
// write, its code page chosen once (the console's when it is a console, else
// the ANSI code page), 128 bytes buffered, written at each line end on a
// console and otherwise when the buffer fills and at process end.
#include <array>
#include <cstdint>

#include "platform/Platform.h"

namespace hq2hd {

class ConsoleOut {
 public:
  static constexpr std::size_t BufferSize = 128;

  static ConsoleOut& Instance();

  // Failures leave a code in IoStatus (105 when there is no usable output).
  void WriteText(TextView text);
  void WriteLineEnd();
  // Writes what is waiting; the platform's code on failure, else 0.
  std::int32_t Flush();
  // At process end: writes what is waiting; the outcome is not looked at.
  void CloseAtExit();
  // Back to the state of a fresh process (tests run many reports in one).
  void Reset() { *this = ConsoleOut(); }

 private:
  ConsoleOut() = default;
  bool EnsureOpen();
  void AppendBytes(const char* bytes, std::size_t count);

  bool open_ = false;
  bool console_ = false;
  platform::Handle handle_ = platform::InvalidHandle;
  std::uint32_t codePage_ = 0;
  std::array<char, BufferSize> buffer_{};
  std::size_t position_ = 0;
};

// The report line: class name, ": ", message, line end, written at once,
// then the I/O check, which raises when the line could not be written.
void WriteFailureReport(const char* className, TextView message);

}  // namespace hq2hd
