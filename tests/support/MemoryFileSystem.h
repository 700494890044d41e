#pragma once
// A file system in memory, as the POSIX backend shows a real one to the
// program: names are case-sensitive, '/' is the one separator (a backslash is
// an ordinary character), only the units before a 0 unit count. It holds
// files, folders and symbolic links (the reparse points of POSIX), read-only
// files, handles with their access and sharing modes, and what a flush has
// made durable: a file's contents at its last FlushFileBuffers, a folder's
// names at its last FlushFolder. A power loss goes back to that durable state.
// Nothing touches the disk. The calls that are not about files (code pages,
// conversions, lower-casing, time conversions, messages, full names) go to
// the real platform.
//
// Differences from the POSIX backend, on purpose: opens that conflict with
// the access and sharing modes of handles already open fail with error 32,
// as on Windows (a delete or a rename of an open file succeeds, as on POSIX);
// only the last component of a name is followed when it is a
// link; relative names are taken from the root; only the dispositions
// CreateNew, CreateAlways and OpenExisting are known.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/FileBottom.h"

namespace hq2hd::testing {

class MemoryFileSystem final : public FileBottom {
 public:
  // What a name in a folder is, for a listing.
  struct Listed {
    Text leaf;
    enum class Kind { File, Folder, Link } kind;
    std::string bytes;  // a file's
    Text target;        // a link's
  };

  explicit MemoryFileSystem(platform::Platform& real);

  // Arranging and inspecting between runs; all of it durable at once.
  // Removes everything but the root.
  void Clear();
  // Makes the folder and every folder above it.
  void MakeFolders(TextView folder);
  void PutFile(TextView name, std::string bytes, bool readOnly = false);
  void PutLink(TextView name, TextView target);
  void Remove(TextView name);
  // A regular file's bytes (the name itself, never through a link).
  std::optional<std::string> FileBytes(TextView name) const;
  bool Exists(TextView name) const;
  // The names in a folder, in order.
  std::vector<Listed> List(TextView folder) const;

  // Creates, deletes and renames that no flush of their folder has followed.
  int PendingNameChanges() const { return static_cast<int>(pending_.size()); }
  // The power fails: every file holds what it held at its last flush, and
  // each folder the names it had at its last flush, with the pending name
  // changes kept except those whose bit n (0-based, in order) is set in `lost`.
  void PowerLoss(std::uint32_t lost);
  void EndProcess() override;
  std::size_t OpenHandles() const { return handles_.size(); }

  platform::Handle CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t flags) override;
  bool ReadFile(platform::Handle file, void* buffer, std::uint32_t count,
                std::uint32_t& done) override;
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override;
  bool FileSize(platform::Handle file, std::uint64_t& size) override;
  bool CloseHandle(platform::Handle file) override;
  bool DeleteFile(TextView name) override;
  bool RemoveDirectory(TextView name) override;
  bool MoveFileReplacing(TextView from, TextView to) override;
  bool CopyPermissions(platform::Handle model, platform::Handle file) override;
  std::uint32_t FileAttributes(TextView name) override;
  bool FileAttributesEx(TextView name, platform::FileAttributeData& data) override;
  bool FindFirstEntry(TextView name, std::uint32_t& attributes) override;
  bool SetFileTimes(platform::Handle file, const platform::FileTime* creation,
                    const platform::FileTime* lastAccess,
                    const platform::FileTime* lastWrite) override;
  bool FlushFileBuffers(platform::Handle file) override;
  bool FlushFolder(TextView folder) override;
  platform::Handle ClaimFolder(TextView folder, std::uint32_t timeoutMs) override;
  void ReleaseFolderClaim(platform::Handle claim) override;
  platform::FileType HandleFileType(platform::Handle file) override;
  bool ResolveLink(TextView name, Text& target) override;
  bool VolumeSupportsLinks(TextView name, bool& supported) override;

 private:
  struct File {
    std::string bytes;
    // What survives a power loss.
    std::string durable;
    bool readOnly = false;
    platform::FileTime lastAccess, lastWrite;
  };
  struct Entry {
    enum class Kind { File, Folder, Link } kind = Kind::File;
    std::shared_ptr<File> file;
    Text target;
  };
  struct Open {
    std::shared_ptr<File> file;  // none for a folder
    std::uint32_t access = 0, share = 0;
    std::uint64_t position = 0;
  };
  struct NameChange {
    enum class Kind { Create, Delete, Rename } kind;
    Text name, to;
    Entry entry;
  };
  using Names = std::unordered_map<Text, Entry>;

  const Entry* Find(const Text& name) const;
  // The name a link at `name` finally leads to (the name itself when it is no
  // link); none when the links go round.
  std::optional<Text> Follow(const Text& name) const;
  bool IsFolder(const Text& name) const;
  // Fails with the code POSIX gives a missing name: 3 when its folder is
  // missing, else 2.
  bool FailMissing(const Text& name);
  bool FailNoFolder(const Text& name);
  std::uint32_t Attributes(const Text& name, const Entry& entry) const;
  Open* OpenOf(platform::Handle file);
  bool SharingAllows(const std::shared_ptr<File>& file, std::uint32_t access,
                     std::uint32_t share) const;
  platform::Handle NewHandle();
  bool Fail(std::uint32_t code);

  Names names_, durable_;
  std::vector<NameChange> pending_;
  std::map<platform::Handle, Open> handles_;
  std::map<platform::Handle, Text> claims_;
  platform::Handle next_;
  // Every write is stamped with this moment.
  platform::FileTime now_;
};

}  // namespace hq2hd::testing
