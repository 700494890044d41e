#pragma once
// A platform that passes every call to another one. Layers over a platform
// (the retry policy, the test doubles) derive from it and override only the
// calls they change.
#include "platform/Platform.h"

namespace hq2hd::platform {

class ForwardingPlatform : public platform::Platform {
 public:
  explicit ForwardingPlatform(platform::Platform& inner) : inner_(inner) {}
  platform::Platform& Inner() { return inner_; }

  Text ModuleFileName() override { return inner_.ModuleFileName(); }
  std::uint32_t LastError() override { return inner_.LastError(); }
  void SetLastError(std::uint32_t code) override { inner_.SetLastError(code); }
  platform::Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition,
                              std::uint32_t flagsAndAttributes) override {
    return inner_.CreateFile(name, access, share, disposition, flagsAndAttributes);
  }
  bool ReadFile(platform::Handle file, void* buffer, std::uint32_t count,
                std::uint32_t& done) override {
    return inner_.ReadFile(file, buffer, count, done);
  }
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override {
    return inner_.WriteFile(file, buffer, count, done);
  }
  bool FileSize(platform::Handle file, std::uint64_t& size) override {
    return inner_.FileSize(file, size);
  }
  bool CloseHandle(platform::Handle file) override { return inner_.CloseHandle(file); }
  bool DeleteFile(TextView name) override { return inner_.DeleteFile(name); }
  bool RemoveDirectory(TextView name) override { return inner_.RemoveDirectory(name); }
  bool MoveFileReplacing(TextView from, TextView to) override {
    return inner_.MoveFileReplacing(from, to);
  }
  bool CopyPermissions(platform::Handle model, platform::Handle file) override {
    return inner_.CopyPermissions(model, file);
  }
  std::uint32_t FileAttributes(TextView name) override { return inner_.FileAttributes(name); }
  bool FileAttributesEx(TextView name, platform::FileAttributeData& data) override {
    return inner_.FileAttributesEx(name, data);
  }
  bool FindFirstEntry(TextView name, std::uint32_t& attributes) override {
    return inner_.FindFirstEntry(name, attributes);
  }
  std::uint32_t FullPathName(TextView name, std::uint32_t bufferLength, char16_t* buffer) override {
    return inner_.FullPathName(name, bufferLength, buffer);
  }
  bool SetFileTimes(platform::Handle file, const platform::FileTime* creation,
                    const platform::FileTime* lastAccess,
                    const platform::FileTime* lastWrite) override {
    return inner_.SetFileTimes(file, creation, lastAccess, lastWrite);
  }
  bool FlushFileBuffers(platform::Handle file) override { return inner_.FlushFileBuffers(file); }
  bool FlushFolder(TextView folder) override { return inner_.FlushFolder(folder); }
  platform::Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override {
    return inner_.ClaimFolder(folder, timeoutMs);
  }
  void ReleaseFolderClaim(platform::Handle claim) override { inner_.ReleaseFolderClaim(claim); }
  void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
  std::uint64_t TickCount() override { return inner_.TickCount(); }
  bool FileTimeToLocalFileTime(platform::FileTime utc, platform::FileTime& local) override {
    return inner_.FileTimeToLocalFileTime(utc, local);
  }
  bool LocalFileTimeToFileTime(platform::FileTime local, platform::FileTime& utc) override {
    return inner_.LocalFileTimeToFileTime(local, utc);
  }
  bool FileTimeToSystemTime(platform::FileTime time, platform::SystemTime& fields) override {
    return inner_.FileTimeToSystemTime(time, fields);
  }
  bool SystemTimeToFileTime(const platform::SystemTime& fields, platform::FileTime& time) override {
    return inner_.SystemTimeToFileTime(fields, time);
  }
  std::uint32_t AnsiCodePage() override { return inner_.AnsiCodePage(); }
  std::uint32_t OemCodePage() override { return inner_.OemCodePage(); }
  bool CodePageInfo(std::uint32_t codePage) override { return inner_.CodePageInfo(codePage); }
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes, int count,
                          char16_t* units, int unitCapacity) override {
    return inner_.MultiByteToWideChar(codePage, flags, bytes, count, units, unitCapacity);
  }
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* units,
                          int count, char* bytes, int byteCapacity) override {
    return inner_.WideCharToMultiByte(codePage, flags, units, count, bytes, byteCapacity);
  }
  std::uint32_t ThreadLocale() override { return inner_.ThreadLocale(); }
  int LowerCase(std::uint32_t locale, const char16_t* source, int count, char16_t* dest) override {
    return inner_.LowerCase(locale, source, count, dest);
  }
  platform::Handle StdHandle(platform::StdStream stream) override {
    return inner_.StdHandle(stream);
  }
  platform::FileType HandleFileType(platform::Handle file) override {
    return inner_.HandleFileType(file);
  }
  std::uint32_t ConsoleOutputCodePage() override { return inner_.ConsoleOutputCodePage(); }
  Text SystemMessage(std::uint32_t code) override { return inner_.SystemMessage(code); }
  bool ResolveLink(TextView name, Text& target) override {
    return inner_.ResolveLink(name, target);
  }
  bool VolumeSupportsLinks(TextView name, bool& supported) override {
    return inner_.VolumeSupportsLinks(name, supported);
  }

 private:
  platform::Platform& inner_;
};

}  // namespace hq2hd::platform
