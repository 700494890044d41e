#include "support/FaultyPlatform.h"

#include <new>

namespace hq2hd::testing {

using namespace platform;

namespace {
constexpr Handle CapturedError = 0x7FFF0002;
}

Text FaultyPlatform::ModuleFileName() {
  return moduleFileName.empty() ? Inner().ModuleFileName() : moduleFileName;
}

Handle FaultyPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition, std::uint32_t flags) {
  std::size_t leafStart = name.find_last_of(u"\\/");
  TextView leaf = leafStart == TextView::npos ? name : name.substr(leafStart + 1);
  bool applies = createFaultName.empty() || leaf == createFaultName;
  if (applies && createFault.Hit()) {
    SetLastError(createFault.error);
    return InvalidHandle;
  }
  return Inner().CreateFile(name, access, share, disposition, flags);
}

bool FaultyPlatform::ReadFile(Handle file, void* buffer, std::uint32_t count,
                              std::uint32_t& done) {
  ++reads_;
  if (readFault.Hit()) {
    SetLastError(readFault.error);
    return false;
  }
  if (reads_ == shortReadAt) count /= 2;
  return Inner().ReadFile(file, buffer, count, done);
}

bool FaultyPlatform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                               std::uint32_t& done) {
  if (file == CapturedOutput || file == CapturedError) {
    (file == CapturedOutput ? stdoutBytes : stderrBytes)
        .append(static_cast<const char*>(buffer), count);
    done = count;
    return true;
  }
  ++writes_;
  if (writeFault.Hit()) {
    SetLastError(writeFault.error);
    done = 0;
    return false;
  }
  if (writes_ == shortWriteAt) count /= 2;
  return Inner().WriteFile(file, buffer, count, done);
}

bool FaultyPlatform::FileSize(Handle file, std::uint64_t& size) {
  if (!Inner().FileSize(file, size)) return false;
  if (overrideSize) size = reportedSize;
  return true;
}

bool FaultyPlatform::CloseHandle(Handle file) {
  if (file == CapturedOutput || file == CapturedError) return true;
  if (closeFault.Hit()) {
    Inner().CloseHandle(file);
    SetLastError(closeFault.error);
    return false;
  }
  return Inner().CloseHandle(file);
}

bool FaultyPlatform::MoveFileReplacing(TextView from, TextView to) {
  if (moveFault.Hit()) {
    SetLastError(moveFault.error);
    return false;
  }
  return Inner().MoveFileReplacing(from, to);
}

bool FaultyPlatform::DeleteFile(TextView name) {
  if (deleteFault.Hit()) {
    SetLastError(deleteFault.error);
    return false;
  }
  return Inner().DeleteFile(name);
}

std::uint32_t FaultyPlatform::FullPathName(TextView name, std::uint32_t bufferLength,
                                           char16_t* buffer) {
  std::uint32_t length = Inner().FullPathName(name, bufferLength, buffer);
  if (fullPathError != 0) SetLastError(fullPathError);
  return length;
}

bool FaultyPlatform::VolumeSupportsLinks(TextView name, bool& supported) {
  if (volumeFault.Hit()) {
    SetLastError(volumeFault.error);
    return false;
  }
  return Inner().VolumeSupportsLinks(name, supported);
}

int FaultyPlatform::LowerCase(std::uint32_t locale, const char16_t* source, int count,
                              char16_t* dest) {
  if (lowerCaseRunsOutOfMemory) throw std::bad_alloc();
  if (lowerCaseFault.Hit()) {
    SetLastError(lowerCaseFault.error);
    return 0;
  }
  return Inner().LowerCase(locale, source, count, dest);
}

Handle FaultyPlatform::StdHandle(StdStream stream) {
  if (stream == StdStream::Output) return CapturedOutput;
  if (stream == StdStream::Error) return CapturedError;
  return Inner().StdHandle(stream);
}

FileType FaultyPlatform::HandleFileType(Handle file) {
  if (file == CapturedOutput) return stdoutType;
  if (file == CapturedError) return FileType::Disk;
  return Inner().HandleFileType(file);
}

std::uint32_t FaultyPlatform::ConsoleOutputCodePage() {
  return consoleCodePage != 0 ? consoleCodePage : Inner().ConsoleOutputCodePage();
}

}  // namespace hq2hd::testing
