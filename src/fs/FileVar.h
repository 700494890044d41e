#pragma once
// Block file input and output through a file variable. No operation here
// raises: each leaves its outcome in IoStatus for the caller's CheckIo.
#include <array>
#include <cstdint>

#include "platform/Platform.h"

namespace hq2hd {

enum class FileMode : std::uint16_t {
  NotAssigned = 0,
  Closed = 0xD7B0,
  Input = 0xD7B1,
  Output = 0xD7B2,
  InOut = 0xD7B3,
};

inline constexpr std::size_t FileNameCapacity = 259;

struct FileVar {
  platform::Handle handle = platform::InvalidHandle;
  FileMode mode = FileMode::NotAssigned;
  bool crlfLineEnd = false;
  std::uint32_t recordSize = 0;
  bool closesHandle = false;  // false for the standard handles
  std::array<char16_t, FileNameCapacity + 1> name{};
  std::size_t nameLength = 0;

  FileVar() = default;
  FileVar(const FileVar&) = delete;
  FileVar& operator=(const FileVar&) = delete;
  // A variable that goes out of scope open (a failure between open and close)
  // still gives its handle back.
  ~FileVar();

  bool IsOpen() const {
    return mode == FileMode::Input || mode == FileMode::Output || mode == FileMode::InOut;
  }
};

// The process-wide open mode: bits 0-1 the access of OpenExisting, bits 4-6
// the sharing of both opens.
class FileOpenMode {
 public:
  static std::uint8_t Get();
  static void Set(std::uint8_t mode);
  static std::uint32_t SharingFlags();
};

void AssignName(FileVar& file, TextView name);
void OpenExisting(FileVar& file, std::uint32_t recordSize);
void CreateTruncate(FileVar& file, std::uint32_t recordSize);
// As CreateTruncate, but only where no file of the name exists (80 otherwise):
// never writes through a name that someone else made in the meantime.
void CreateNewFile(FileVar& file, std::uint32_t recordSize);
std::int32_t ReadBlocks(FileVar& file, void* buffer, std::int32_t count,
                        std::int32_t* countDone = nullptr);
std::int32_t WriteBlocks(FileVar& file, const void* buffer, std::int32_t count,
                         std::int32_t* countDone = nullptr);
std::int32_t CloseFileVar(FileVar& file);
// Writes what the file holds through to the storage device. Leaves 103 for a
// file not open for output, the system's code when the flush fails.
void FlushFileVar(FileVar& file);

}  // namespace hq2hd
