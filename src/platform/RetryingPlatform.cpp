#include "platform/RetryingPlatform.h"

#include <algorithm>

namespace hq2hd::platform {
namespace {

// Whether a code is one that a hold by another process can cause; `name` is
// the file the call named (empty for a call on a handle), asked about an
// access denial only.
bool MayBeHeld(Platform& os, std::uint32_t code, TextView name) {
  switch (code) {
    case error::SharingViolation:
    case error::LockViolation:
    // Deleted by a process that another one still holds it open for.
    case error::DeletePending:
    // Another process has it mapped into memory, so it cannot be emptied.
    case error::UserMappedFile:
      return true;
    case error::AccessDenied:
      break;
    default:
      return false;
  }
  if (name.empty()) return true;
  // A read-only file or a folder is refused for good, however long one waits,
  // and so is a name in a folder the user may not write to: no file there to
  // be held (a file being deleted answers with a denial itself).
  const std::uint32_t attributes = os.FileAttributes(name);
  const std::uint32_t asked = os.LastError();
  os.SetLastError(code);
  if (attributes == InvalidFileAttributes)
    return asked != error::FileNotFound && asked != error::PathNotFound;
  return (attributes & (FileAttributeReadOnly | FileAttributeDirectory)) == 0;
}

constexpr auto False = [](bool succeeded) { return !succeeded; };

}  // namespace

template <typename Attempt, typename Failed>
auto RetryingPlatform::Tried(TextView name, Attempt attempt, Failed failed) {
  auto result = attempt();
  for (std::uint32_t retry = 1; retry <= retry::MostRetries && failed(result); ++retry) {
    if (spentMs_ >= retry::RunBudgetMs || !MayBeHeld(Inner(), Inner().LastError(), name)) break;
    const std::uint64_t started = Inner().TickCount();
    Inner().Sleep(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(retry * retry::WaitStepMs, retry::RunBudgetMs - spentMs_)));
    result = attempt();
    spentMs_ += Inner().TickCount() - started;
  }
  return result;
}

Handle RetryingPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t flagsAndAttributes) {
  return Tried(
      name,
      [&] { return Inner().CreateFile(name, access, share, disposition, flagsAndAttributes); },
      [](Handle handle) { return handle == InvalidHandle; });
}

bool RetryingPlatform::ReadFile(Handle file, void* buffer, std::uint32_t count,
                                std::uint32_t& done) {
  return Tried(
      {}, [&] { return Inner().ReadFile(file, buffer, count, done); }, False);
}

bool RetryingPlatform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                                 std::uint32_t& done) {
  return Tried(
      {}, [&] { return Inner().WriteFile(file, buffer, count, done); }, False);
}

bool RetryingPlatform::FileSize(Handle file, std::uint64_t& size) {
  return Tried(
      {}, [&] { return Inner().FileSize(file, size); }, False);
}

bool RetryingPlatform::DeleteFile(TextView name) {
  return Tried(
      name, [&] { return Inner().DeleteFile(name); }, False);
}

bool RetryingPlatform::MoveFileReplacing(TextView from, TextView to) {
  // The file replaced is the one a denial may be about.
  return Tried(
      to, [&] { return Inner().MoveFileReplacing(from, to); }, False);
}

std::uint32_t RetryingPlatform::FileAttributes(TextView name) {
  return Tried(
      name, [&] { return Inner().FileAttributes(name); },
      [](std::uint32_t attributes) { return attributes == InvalidFileAttributes; });
}

bool RetryingPlatform::FileAttributesEx(TextView name, FileAttributeData& data) {
  return Tried(
      name, [&] { return Inner().FileAttributesEx(name, data); }, False);
}

bool RetryingPlatform::FindFirstEntry(TextView name, std::uint32_t& attributes) {
  return Tried(
      name, [&] { return Inner().FindFirstEntry(name, attributes); }, False);
}

bool RetryingPlatform::SetFileTimes(Handle file, const FileTime* creation,
                                    const FileTime* lastAccess, const FileTime* lastWrite) {
  return Tried(
      {}, [&] { return Inner().SetFileTimes(file, creation, lastAccess, lastWrite); }, False);
}

bool RetryingPlatform::FlushFileBuffers(Handle file) {
  return Tried(
      {}, [&] { return Inner().FlushFileBuffers(file); }, False);
}

bool RetryingPlatform::FlushFolder(TextView folder) {
  return Tried(
      folder, [&] { return Inner().FlushFolder(folder); }, False);
}

bool RetryingPlatform::ResolveLink(TextView name, Text& target) {
  return Tried(
      name, [&] { return Inner().ResolveLink(name, target); }, False);
}

bool RetryingPlatform::VolumeSupportsLinks(TextView name, bool& supported) {
  return Tried(
      name, [&] { return Inner().VolumeSupportsLinks(name, supported); }, False);
}

}  // namespace hq2hd::platform
