#pragma once
// The one interface to the operating system. It speaks Windows: UTF-16 names,
// Windows error codes and a per-thread last error. The Windows backend calls
// kernel32 directly; the POSIX backend gives the same services on Linux.
// Tests wrap an instance to inject faults (see tests/support).
#include <cstdint>

#include "platform/Text.h"

namespace hq2hd::platform {

using Handle = std::uintptr_t;
inline constexpr Handle InvalidHandle = ~Handle{0};

// Windows error codes that the program and its backends name.
namespace error {
inline constexpr std::uint32_t Success = 0;
inline constexpr std::uint32_t FileNotFound = 2;
inline constexpr std::uint32_t PathNotFound = 3;
inline constexpr std::uint32_t TooManyOpenFiles = 4;
inline constexpr std::uint32_t AccessDenied = 5;
inline constexpr std::uint32_t InvalidHandle = 6;
inline constexpr std::uint32_t NotEnoughMemory = 8;
inline constexpr std::uint32_t NotSameDevice = 17;
inline constexpr std::uint32_t WriteProtect = 19;
inline constexpr std::uint32_t NotReady = 21;
inline constexpr std::uint32_t Crc = 23;
inline constexpr std::uint32_t GenFailure = 31;
inline constexpr std::uint32_t SharingViolation = 32;
inline constexpr std::uint32_t LockViolation = 33;
inline constexpr std::uint32_t HandleEof = 38;
inline constexpr std::uint32_t NotSupported = 50;
inline constexpr std::uint32_t BadNetPath = 53;
inline constexpr std::uint32_t BadNetName = 67;
inline constexpr std::uint32_t FileExists = 80;
inline constexpr std::uint32_t InvalidParameter = 87;
inline constexpr std::uint32_t BrokenPipe = 109;
inline constexpr std::uint32_t DiskFull = 112;
inline constexpr std::uint32_t InsufficientBuffer = 122;
inline constexpr std::uint32_t InvalidName = 123;
inline constexpr std::uint32_t DirNotEmpty = 145;
inline constexpr std::uint32_t BadPathName = 161;
inline constexpr std::uint32_t AlreadyExists = 183;
inline constexpr std::uint32_t FilenameTooLong = 206;
inline constexpr std::uint32_t FileTooLarge = 223;
inline constexpr std::uint32_t WaitTimeout = 258;
inline constexpr std::uint32_t DirectoryNameInvalid = 267;
inline constexpr std::uint32_t DeletePending = 303;
inline constexpr std::uint32_t InvalidFlags = 1004;
inline constexpr std::uint32_t NoUnicodeTranslation = 1113;
inline constexpr std::uint32_t IoDevice = 1117;
inline constexpr std::uint32_t UserMappedFile = 1224;
inline constexpr std::uint32_t CantResolveFilename = 1921;
}  // namespace error

inline constexpr std::uint32_t GenericRead = 0x80000000u;
inline constexpr std::uint32_t GenericWrite = 0x40000000u;
inline constexpr std::uint32_t FileShareRead = 0x1;
inline constexpr std::uint32_t FileShareWrite = 0x2;
inline constexpr std::uint32_t CreateNew = 1;
inline constexpr std::uint32_t CreateAlways = 2;
inline constexpr std::uint32_t OpenExisting = 3;
inline constexpr std::uint32_t FileAttributeReadOnly = 0x1;
inline constexpr std::uint32_t FileAttributeDirectory = 0x10;
inline constexpr std::uint32_t FileAttributeNormal = 0x80;
inline constexpr std::uint32_t FileAttributeReparsePoint = 0x400;
inline constexpr std::uint32_t FileFlagBackupSemantics = 0x02000000u;
inline constexpr std::uint32_t InvalidFileAttributes = 0xFFFFFFFFu;

inline constexpr std::uint32_t MbErrInvalidChars = 0x8;
inline constexpr std::uint32_t CodePageShiftJis = 932;
inline constexpr std::uint32_t CodePageUtf8 = 65001;
inline constexpr std::uint32_t CodePageUtf16Le = 1200;
inline constexpr std::uint32_t CodePageUtf16Be = 1201;

// 100-nanosecond intervals since 1601-01-01 00:00 UTC (or local, where named so).
// Zero given to SetFileTimes leaves that time unchanged.
struct FileTime {
  std::uint64_t ticks = 0;
  friend bool operator==(FileTime, FileTime) = default;
};

struct SystemTime {
  std::uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

struct FileAttributeData {
  std::uint32_t attributes = 0;
  FileTime creation, lastAccess, lastWrite;
  std::uint64_t size = 0;
};

enum class StdStream { Input, Output, Error };
enum class FileType : std::uint32_t { Unknown = 0, Disk = 1, Char = 2, Pipe = 3 };

class Platform {
 public:
  Platform() = default;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;
  virtual ~Platform() = default;

  // Process. The running executable's full name, cut to 260 units. A name
  // that was cut leaves error 122 (insufficient buffer) as the last error, a
  // whole one leaves 0, so a caller can tell a cut name from a short one.
  virtual Text ModuleFileName() = 0;
  virtual std::uint32_t LastError() = 0;
  virtual void SetLastError(std::uint32_t code) = 0;

  // Files. Every call that fails sets the last error.
  virtual Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition, std::uint32_t flagsAndAttributes) = 0;
  virtual bool ReadFile(Handle file, void* buffer, std::uint32_t count, std::uint32_t& done) = 0;
  virtual bool WriteFile(Handle file, const void* buffer, std::uint32_t count,
                         std::uint32_t& done) = 0;
  // The end position of the file; the current position is kept.
  virtual bool FileSize(Handle file, std::uint64_t& size) = 0;
  virtual bool CloseHandle(Handle file) = 0;
  virtual bool DeleteFile(TextView name) = 0;
  virtual bool RemoveDirectory(TextView name) = 0;
  // Renames `from` to `to`, replacing a file at `to`, never writing through
  // it, and returns once the move is on the disk (MoveFileExW with
  // MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH; on POSIX, the
  // folder's flush makes it durable).
  virtual bool MoveFileReplacing(TextView from, TextView to) = 0;
  virtual std::uint32_t FileAttributes(TextView name) = 0;
  virtual bool FileAttributesEx(TextView name, FileAttributeData& data) = 0;
  // FindFirstFileW followed by FindClose: the attributes of the first match.
  virtual bool FindFirstEntry(TextView name, std::uint32_t& attributes) = 0;
  // GetFullPathNameW: the length written (without the terminator), or the
  // buffer size needed (with it) when the buffer is too small, or 0.
  virtual std::uint32_t FullPathName(TextView name, std::uint32_t bufferLength,
                                     char16_t* buffer) = 0;
  virtual bool SetFileTimes(Handle file, const FileTime* creation, const FileTime* lastAccess,
                            const FileTime* lastWrite) = 0;

  // Durability. Writes what the file holds through to the storage device
  // (FlushFileBuffers; fsync on POSIX).
  virtual bool FlushFileBuffers(Handle file) = 0;
  // Writes the folder's names (creates, deletes, renames) through to the
  // storage device; an empty name is the current folder. POSIX needs an fsync
  // of the folder for that; Windows file systems journal their names, so the
  // Windows backend has nothing to do.
  virtual bool FlushFolder(TextView folder) = 0;

  // One run at a time per folder. Waits until no other process holds the
  // claim on `folder` (the folder itself, however it is spelled), then holds
  // it until ReleaseFolderClaim or the end of the process: a killed process
  // leaves nothing behind. Nothing is created in the folder. On Windows no
  // process of another user can hold or squat the claim; on POSIX whoever
  // can read the folder can lock it too, and the bound ends such a wait.
  // InvalidHandle with the last error WaitTimeout when it is still held
  // after `timeoutMs`, or with the last error set when refused.
  virtual Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) = 0;
  virtual void ReleaseFolderClaim(Handle claim) = 0;

  // Clock: waits `milliseconds` (Sleep); milliseconds since some fixed
  // moment, never going back (GetTickCount64).
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  virtual std::uint64_t TickCount() = 0;

  // Time, with the time-zone bias in force at the call.
  virtual bool FileTimeToLocalFileTime(FileTime utc, FileTime& local) = 0;
  virtual bool LocalFileTimeToFileTime(FileTime local, FileTime& utc) = 0;
  virtual bool FileTimeToSystemTime(FileTime time, SystemTime& fields) = 0;
  virtual bool SystemTimeToFileTime(const SystemTime& fields, FileTime& time) = 0;

  // Code pages, with MultiByteToWideChar / WideCharToMultiByte semantics
  // (count never -1 here; a null or zero-sized output measures).
  virtual std::uint32_t AnsiCodePage() = 0;
  virtual std::uint32_t OemCodePage() = 0;
  virtual bool CodePageInfo(std::uint32_t codePage) = 0;
  virtual int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes,
                                  int count, char16_t* units, int unitCapacity) = 0;
  virtual int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                  const char16_t* units, int count, char* bytes,
                                  int byteCapacity) = 0;

  // Linguistic lower-casing (LCMapStringW with LCMAP_LOWERCASE |
  // LCMAP_LINGUISTIC_CASING) of `count` units into `dest`; 0 on failure.
  virtual std::uint32_t ThreadLocale() = 0;
  virtual int LowerCase(std::uint32_t locale, const char16_t* source, int count,
                        char16_t* dest) = 0;

  // Console.
  virtual Handle StdHandle(StdStream stream) = 0;
  virtual FileType HandleFileType(Handle file) = 0;
  virtual std::uint32_t ConsoleOutputCodePage() = 0;

  // The system's message text for an error code, untrimmed; empty when none.
  virtual Text SystemMessage(std::uint32_t code) = 0;

  // The full name of what a link (reparse point) leads to. Backends that
  // cannot tell answer false with error 50.
  virtual bool ResolveLink(TextView name, Text& target) {
    (void)name;
    (void)target;
    SetLastError(error::NotSupported);
    return false;
  }

  // Gives `file` the access permissions of `model`. POSIX copies the
  // permission bits, so that a copy is no more readable than its original
  // (its owner may always read and write it);
  // a new file on Windows inherits its folder's ACL, as the host's own
  // files do, so there is nothing to do.
  virtual bool CopyPermissions(Handle model, Handle file) {
    (void)model;
    (void)file;
    return true;
  }

  // Whether the volume that holds `name` supports links (reparse points);
  // false with the last error set when the volume cannot be asked. Every
  // POSIX file system has symbolic links.
  virtual bool VolumeSupportsLinks(TextView name, bool& supported) {
    (void)name;
    supported = true;
    return true;
  }
};

// The backend this build was made with.
Platform& NativePlatform();

// The platform every layer above uses. Tests may put a double in its place.
Platform& Os();

class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& replacement);
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;
  ~ScopedPlatform();

 private:
  Platform* previous_;
};

}  // namespace hq2hd::platform
