#pragma once
// The Linux backend: the Windows-shaped services of Platform on top of POSIX
// calls. Handles are file descriptors; names go through NameCodec; errno goes
// through ErrnoTable.
#include <sys/types.h>

#include <climits>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace hq2hd::platform::posix {

class PosixPlatform final : public Platform {
 public:
  PosixPlatform();

  Text ModuleFileName() override;
  std::uint32_t LastError() override;
  void SetLastError(std::uint32_t code) override;

  Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flagsAndAttributes) override;
  bool ReadFile(Handle file, void* buffer, std::uint32_t count, std::uint32_t& done) override;
  bool WriteFile(Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override;
  bool FileSize(Handle file, std::uint64_t& size) override;
  bool CloseHandle(Handle file) override;
  bool DeleteFile(TextView name) override;
  bool RemoveDirectory(TextView name) override;
  bool MoveFileReplacing(TextView from, TextView to) override;
  bool CopyPermissions(Handle model, Handle file) override;
  std::uint32_t FileAttributes(TextView name) override;
  bool FileAttributesEx(TextView name, FileAttributeData& data) override;
  bool FindFirstEntry(TextView name, std::uint32_t& attributes) override;
  std::uint32_t FullPathName(TextView name, std::uint32_t bufferLength, char16_t* buffer) override;
  bool SetFileTimes(Handle file, const FileTime* creation, const FileTime* lastAccess,
                    const FileTime* lastWrite) override;
  bool FlushFileBuffers(Handle file) override;
  bool FlushFolder(TextView folder) override;
  Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override;
  void ReleaseFolderClaim(Handle claim) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCount() override;

  bool FileTimeToLocalFileTime(FileTime utc, FileTime& local) override;
  bool LocalFileTimeToFileTime(FileTime local, FileTime& utc) override;
  bool FileTimeToSystemTime(FileTime time, SystemTime& fields) override;
  bool SystemTimeToFileTime(const SystemTime& fields, FileTime& time) override;

  std::uint32_t AnsiCodePage() override;
  std::uint32_t OemCodePage() override;
  bool CodePageInfo(std::uint32_t codePage) override;
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes, int count,
                          char16_t* units, int unitCapacity) override;
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* units,
                          int count, char* bytes, int byteCapacity) override;

  std::uint32_t ThreadLocale() override;
  int LowerCase(std::uint32_t locale, const char16_t* source, int count, char16_t* dest) override;

  Handle StdHandle(StdStream stream) override;
  FileType HandleFileType(Handle file) override;
  std::uint32_t ConsoleOutputCodePage() override;

  Text SystemMessage(std::uint32_t code) override;
  bool ResolveLink(TextView name, Text& target) override;
};

// The per-thread last error behind LastError / SetLastError, for the
// backend's own helpers.
void StoreLastError(std::uint32_t code);
std::uint32_t LoadLastError();
// Stores the code and answers false, as a failed call does.
inline bool Fail(std::uint32_t code) {
  StoreLastError(code);
  return false;
}

// The name as the file system spells it: only the units before a 0 unit
// count, as with a Windows wide string.
std::string NativeName(TextView name);

// The Windows code for a failed call on `path`. ENOENT reads as "path not
// found" (3) when the directory that should hold the name is missing, and as
// "file not found" (2) otherwise, as Windows tells the two apart.
std::uint32_t ErrorForName(int errnum, const std::string& path);

// open(2), asked again when a signal interrupts it.
int OpenRetrying(const std::string& path, int flags, mode_t mode);

// The descriptor behind a handle, or none for a value no descriptor can have.
// Inline, as CheckIo: the copy's two calls for each 4 KiB block each follow a
// system call, and the code after one runs cold (0.3 ms of CPU per 16 MiB).
inline std::optional<int> DescriptorOf(Handle file) {
  if (file > static_cast<Handle>(INT_MAX)) return std::nullopt;
  return static_cast<int>(file);
}

}  // namespace hq2hd::platform::posix
