#include "fs/FileVar.h"

#include "platform/IoStatus.h"

namespace hq2hd {
namespace {

using platform::Os;

std::uint8_t openMode = 2;

enum class Access { Read = 0, Write = 1, ReadWrite = 2, Create = 3, CreateNew = 4 };

// A failing close records the system's code but reports 1: only "not zero"
// is promised to the caller.
std::int32_t CloseStep(FileVar& file) {
  file.mode = FileMode::Closed;
  if (!file.closesHandle) return 0;
  platform::Handle handle = file.handle;
  file.handle = platform::InvalidHandle;
  if (!Os().CloseHandle(handle)) {
    IoStatus::Set(static_cast<std::int32_t>(Os().LastError()));
    return 1;
  }
  return 0;
}

void Open(FileVar& file, std::uint32_t recordSize, Access access) {
  if (file.mode != FileMode::Closed && !file.IsOpen()) {
    IoStatus::Set(iocode::NotAssigned);
    return;
  }
  if (file.IsOpen()) {
    std::int32_t result = CloseStep(file);
    if (result != 0) IoStatus::Set(result);
  }
  file.mode = FileMode::InOut;
  file.recordSize = recordSize;
  file.closesHandle = true;

  platform::Handle handle;
  if (file.nameLength == 0) {
    // The standard handles are never closed.
    file.closesHandle = false;
    const bool creates = access == Access::Create || access == Access::CreateNew;
    handle = Os().StdHandle(creates ? platform::StdStream::Output : platform::StdStream::Input);
  } else {
    std::uint32_t desired = platform::GenericRead | platform::GenericWrite;
    std::uint32_t disposition = platform::OpenExisting;
    FileMode after = FileMode::InOut;
    switch (access) {
      case Access::Read:
        desired = platform::GenericRead;
        after = FileMode::Input;
        break;
      case Access::Write:
        desired = platform::GenericWrite;
        after = FileMode::Output;
        break;
      case Access::ReadWrite:
        break;
      case Access::Create:
        disposition = platform::CreateAlways;
        break;
      case Access::CreateNew:
        disposition = platform::CreateNew;
        break;
    }
    file.mode = after;
    handle =
        Os().CreateFile(TextView(file.name.data(), file.nameLength), desired,
                        FileOpenMode::SharingFlags(), disposition, platform::FileAttributeNormal);
  }
  if (handle == platform::InvalidHandle) {
    file.mode = FileMode::Closed;
    IoStatus::Set(static_cast<std::int32_t>(Os().LastError()));
    return;
  }
  file.handle = handle;
}

template <bool Reading>
std::int32_t TransferBlocks(FileVar& file, void* buffer, std::int32_t count,
                            std::int32_t* countDone) {
  bool accepted = Reading ? (file.mode == FileMode::Input || file.mode == FileMode::InOut)
                          : (file.mode == FileMode::Output || file.mode == FileMode::InOut);
  if (!accepted) {
    IoStatus::Set(iocode::NotOpen);
    return 0;
  }
  std::uint32_t bytes = static_cast<std::uint32_t>(count) * file.recordSize;
  std::uint32_t done = 0;
  bool ok = Reading ? Os().ReadFile(file.handle, buffer, bytes, done)
                    : Os().WriteFile(file.handle, buffer, bytes, done);
  auto records = static_cast<std::int32_t>(done / file.recordSize);
  if (!ok) {
    IoStatus::Set(static_cast<std::int32_t>(Os().LastError()));
    // What a failed request still moved is counted, so a caller that goes on
    // never moves those bytes twice.
    if (countDone != nullptr) *countDone = records;
    return 0;
  }
  if (countDone != nullptr) {
    *countDone = records;
    return records;
  }
  if (records != count) {
    IoStatus::Set(Reading ? iocode::ReadShort : iocode::WriteShort);
    return 0;
  }
  return records;
}

}  // namespace

FileVar::~FileVar() {
  if (IsOpen() && closesHandle && handle != platform::InvalidHandle) Os().CloseHandle(handle);
}

std::uint8_t FileOpenMode::Get() { return openMode; }
void FileOpenMode::Set(std::uint8_t mode) { openMode = mode; }

std::uint32_t FileOpenMode::SharingFlags() {
  static constexpr std::uint32_t bySharingBits[8] = {3, 0, 1, 2, 3, 0, 0, 0};
  return bySharingBits[(openMode >> 4) & 7];
}

void AssignName(FileVar& file, TextView name) {
  // Forgets an open handle without closing it, as the record is simply refilled.
  file.handle = platform::InvalidHandle;
  file.mode = FileMode::Closed;
  file.crlfLineEnd = true;
  file.recordSize = 0;
  file.closesHandle = false;
  file.name.fill(0);
  std::size_t length = name.find(u'\0');
  if (length == TextView::npos) length = name.size();
  if (length > FileNameCapacity) {
    IoStatus::Set(iocode::FileNameTooLong);
    length = FileNameCapacity;
  }
  name.copy(file.name.data(), length);
  file.nameLength = length;
}

void OpenExisting(FileVar& file, std::uint32_t recordSize) {
  std::uint8_t accessBits = FileOpenMode::Get() & 3;
  Open(file, recordSize,
       accessBits == 0   ? Access::Read
       : accessBits == 1 ? Access::Write
                         : Access::ReadWrite);
}

void CreateTruncate(FileVar& file, std::uint32_t recordSize) {
  Open(file, recordSize, Access::Create);
}

void CreateNewFile(FileVar& file, std::uint32_t recordSize) {
  Open(file, recordSize, Access::CreateNew);
}

std::int32_t ReadBlocks(FileVar& file, void* buffer, std::int32_t count, std::int32_t* countDone) {
  return TransferBlocks<true>(file, buffer, count, countDone);
}

std::int32_t WriteBlocks(FileVar& file, const void* buffer, std::int32_t count,
                         std::int32_t* countDone) {
  return TransferBlocks<false>(file, const_cast<void*>(buffer), count, countDone);
}

std::int32_t CloseFileVar(FileVar& file) {
  if (!file.IsOpen()) {
    IoStatus::Set(iocode::NotOpen);
    return 0;
  }
  std::int32_t result = CloseStep(file);
  if (result != 0) IoStatus::Set(result);
  return result;
}

void FlushFileVar(FileVar& file) {
  if (file.mode != FileMode::Output && file.mode != FileMode::InOut) {
    IoStatus::Set(iocode::NotOpen);
    return;
  }
  if (!Os().FlushFileBuffers(file.handle))
    IoStatus::Set(static_cast<std::int32_t>(Os().LastError()));
}

}  // namespace hq2hd
