#include "support/ProcessView.h"

namespace hq2hd::testing {

using namespace platform;

Text ProcessView::ModuleFileName() {
  if (process_.moduleFileNameError != 0) {
    SetLastError(process_.moduleFileNameError);
    return Text();
  }
  if (process_.moduleFileName.empty()) return Inner().ModuleFileName();
  // As the backends do: a longer name arrives cut, and says so.
  constexpr std::size_t limit = 260;
  SetLastError(process_.moduleFileName.size() > limit ? error::InsufficientBuffer : error::Success);
  return process_.moduleFileName.substr(0, limit);
}

Handle ProcessView::StdHandle(StdStream stream) {
  if (stream == StdStream::Output) return CapturedOutput;
  if (stream == StdStream::Error) return CapturedError;
  return Inner().StdHandle(stream);
}

FileType ProcessView::HandleFileType(Handle file) {
  if (file == CapturedOutput) return process_.stdoutType;
  if (file == CapturedError) return FileType::Disk;
  return Inner().HandleFileType(file);
}

bool ProcessView::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                            std::uint32_t& done) {
  if (!Captured(file)) return Inner().WriteFile(file, buffer, count, done);
  done = 0;
  if (file == CapturedOutput && process_.stdoutWriteError != 0) {
    SetLastError(process_.stdoutWriteError);
    return false;
  }
  (file == CapturedOutput ? process_.stdoutBytes : process_.stderrBytes)
      .append(static_cast<const char*>(buffer), count);
  done = count;
  return true;
}

}  // namespace hq2hd::testing
