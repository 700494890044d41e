#include "support/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>

namespace hq2hd::testing {

using namespace platform;

namespace {

inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr Handle kFirstHandle = 0x10000;
// The links followed before a name counts as going round (ELOOP).
inline constexpr int kMostLinks = 40;
// 2024-01-01 00:00 UTC: the moment of every write, so that runs repeat.
inline constexpr FileTime kNow{133'485'408'000'000'000ull};

// The name as the system sees it: the units before a 0 unit, empty and "."
// components dropped, ".." taken away with the component before it, and a
// relative name taken from the root. "/" is the root.
Text Normal(TextView name) {
  name = name.substr(0, name.find(u'\0'));
  Text normal;
  normal.reserve(name.size() + 1);
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t stop = std::min(name.find(u'/', start), name.size());
    const TextView part = name.substr(start, stop - start);
    if (part == u"..")
      normal.resize(normal.empty() ? 0 : normal.rfind(u'/'));
    else if (!part.empty() && part != u".")
      (normal += u'/') += part;
    start = stop + 1;
  }
  return normal.empty() ? Text(u"/") : normal;
}

TextView ParentOf(TextView normal) {
  const std::size_t slash = normal.rfind(u'/');
  return slash == 0 || slash == Text::npos ? TextView(u"/") : normal.substr(0, slash);
}

Text LeafOf(const Text& normal) { return normal.substr(normal.rfind(u'/') + 1); }

}  // namespace

MemoryFileSystem::MemoryFileSystem(Platform& real)
    : FileBottom(real), next_(kFirstHandle), now_(kNow) {}

// Arranging ---------------------------------------------------------------

void MemoryFileSystem::Clear() {
  EndProcess();
  names_.clear();
  durable_.clear();
  pending_.clear();
}

void MemoryFileSystem::MakeFolders(TextView folder) {
  for (Text name = Normal(folder); name != u"/"; name = Text(ParentOf(name)))
    durable_[name] = names_[name] = Entry{Entry::Kind::Folder, nullptr, {}};
}

void MemoryFileSystem::PutFile(TextView name, std::string bytes, bool readOnly) {
  auto file = std::make_shared<File>(File{bytes, bytes, readOnly, now_, now_});
  const Text normal = Normal(name);
  durable_[normal] = names_[normal] = Entry{Entry::Kind::File, std::move(file), {}};
}

void MemoryFileSystem::PutLink(TextView name, TextView target) {
  const Text normal = Normal(name);
  durable_[normal] = names_[normal] = Entry{Entry::Kind::Link, nullptr, Text(target)};
}

void MemoryFileSystem::Remove(TextView name) {
  const Text normal = Normal(name);
  names_.erase(normal);
  durable_.erase(normal);
}

std::optional<std::string> MemoryFileSystem::FileBytes(TextView name) const {
  const Entry* entry = Find(Normal(name));
  if (entry == nullptr || entry->kind != Entry::Kind::File) return std::nullopt;
  return entry->file->bytes;
}

bool MemoryFileSystem::Exists(TextView name) const { return Find(Normal(name)) != nullptr; }

std::vector<MemoryFileSystem::Listed> MemoryFileSystem::List(TextView folder) const {
  const Text normal = Normal(folder);
  std::vector<Listed> listed;
  for (const auto& [name, entry] : names_) {
    if (name == u"/" || ParentOf(name) != normal) continue;
    const auto kind = static_cast<Listed::Kind>(entry.kind);
    listed.push_back({LeafOf(name), kind, entry.file ? entry.file->bytes : "", entry.target});
  }
  std::ranges::sort(listed, {}, &Listed::leaf);
  return listed;
}

// Durability ----------------------------------------------------------------

void MemoryFileSystem::PowerLoss(std::uint32_t lost) {
  Names names = durable_;
  for (std::size_t n = 0; n < pending_.size(); ++n) {
    if (n < 32 && (lost >> n & 1u) != 0) continue;
    const NameChange& change = pending_[n];
    switch (change.kind) {
      case NameChange::Kind::Create:
        names[change.name] = change.entry;
        break;
      case NameChange::Kind::Delete:
        names.erase(change.name);
        break;
      case NameChange::Kind::Rename:
        // A file whose create was lost has nothing to move.
        if (auto moved = names.find(change.name); moved != names.end()) {
          names[change.to] = moved->second;
          names.erase(moved);
        }
        break;
    }
  }
  EndProcess();
  names_ = names;
  durable_ = std::move(names);
  pending_.clear();
  for (auto& [name, entry] : names_)
    if (entry.file) entry.file->bytes = entry.file->durable;
}

void MemoryFileSystem::EndProcess() {
  handles_.clear();
  claims_.clear();
  next_ = kFirstHandle;
}

// Names -------------------------------------------------------------------

const MemoryFileSystem::Entry* MemoryFileSystem::Find(const Text& name) const {
  static const Entry root{Entry::Kind::Folder, nullptr, {}};
  if (name == u"/") return &root;
  const auto found = names_.find(name);
  return found == names_.end() ? nullptr : &found->second;
}

std::optional<Text> MemoryFileSystem::Follow(const Text& name) const {
  Text at = name;
  for (int links = 0; links <= kMostLinks; ++links) {
    const Entry* entry = Find(at);
    if (entry == nullptr || entry->kind != Entry::Kind::Link) return at;
    const bool absolute = !entry->target.empty() && entry->target[0] == u'/';
    at = Normal(absolute ? entry->target : Text(ParentOf(at)) + u'/' + entry->target);
  }
  return std::nullopt;
}

bool MemoryFileSystem::IsFolder(const Text& name) const {
  if (const Entry* entry = Find(name); entry == nullptr || entry->kind != Entry::Kind::Link)
    return entry != nullptr && entry->kind == Entry::Kind::Folder;
  const std::optional<Text> followed = Follow(name);
  const Entry* entry = followed ? Find(*followed) : nullptr;
  return entry != nullptr && entry->kind == Entry::Kind::Folder;
}

bool MemoryFileSystem::Fail(std::uint32_t code) {
  SetLastError(code);
  return false;
}

bool MemoryFileSystem::FailMissing(const Text& name) {
  return Fail(IsFolder(Text(ParentOf(name))) ? error::FileNotFound : error::PathNotFound);
}

// A name that leads nowhere is missing; one that leads to a file is no
// folder (ENOTDIR, 3).
bool MemoryFileSystem::FailNoFolder(const Text& name) {
  const std::optional<Text> followed = Follow(name);
  if (followed && Find(*followed) != nullptr) return Fail(error::PathNotFound);
  return FailMissing(name);
}

// As the POSIX backend gives them: a link is a reparse point, with the
// directory bit when it leads to a folder; a file carries ARCHIVE, and
// READONLY when it cannot be written.
std::uint32_t MemoryFileSystem::Attributes(const Text& name, const Entry& entry) const {
  switch (entry.kind) {
    case Entry::Kind::Link:
      return FileAttributeReparsePoint | (IsFolder(name) ? FileAttributeDirectory : 0);
    case Entry::Kind::Folder:
      return FileAttributeDirectory;
    case Entry::Kind::File:
      break;
  }
  return kFileAttributeArchive | (entry.file->readOnly ? FileAttributeReadOnly : 0);
}

std::uint32_t MemoryFileSystem::FileAttributes(TextView name) {
  const Text normal = Normal(name);
  const Entry* entry = Find(normal);
  if (entry == nullptr) {
    FailMissing(normal);
    return InvalidFileAttributes;
  }
  return Attributes(normal, *entry);
}

bool MemoryFileSystem::FileAttributesEx(TextView name, FileAttributeData& data) {
  const Text normal = Normal(name);
  const Entry* entry = Find(normal);
  if (entry == nullptr) return FailMissing(normal);
  data = FileAttributeData{};
  data.attributes = Attributes(normal, *entry);
  if (entry->kind == Entry::Kind::File) {
    data.creation = FileTime{};  // no birth time recorded
    data.lastAccess = entry->file->lastAccess;
    data.lastWrite = entry->file->lastWrite;
    data.size = entry->file->bytes.size();
  }
  return true;
}

bool MemoryFileSystem::FindFirstEntry(TextView name, std::uint32_t& attributes) {
  const Text normal = Normal(name);
  const Entry* entry = Find(normal);
  if (entry == nullptr) return FailMissing(normal);
  attributes = Attributes(normal, *entry);
  return true;
}

bool MemoryFileSystem::DeleteFile(TextView name) {
  const Text normal = Normal(name);
  const Entry* entry = Find(normal);
  if (entry == nullptr) return FailMissing(normal);
  // Windows refuses a directory, a directory link and a read-only file.
  if ((Attributes(normal, *entry) & (FileAttributeDirectory | FileAttributeReadOnly)) != 0)
    return Fail(error::AccessDenied);
  names_.erase(normal);
  pending_.push_back({NameChange::Kind::Delete, normal, {}, {}});
  return true;
}

bool MemoryFileSystem::RemoveDirectory(TextView name) {
  const Text normal = Normal(name);
  const Entry* entry = Find(normal);
  if (entry == nullptr) return FailMissing(normal);
  // Removing a directory link removes the link, never what it leads to.
  if (!IsFolder(normal)) return Fail(error::DirectoryNameInvalid);
  if (entry->kind == Entry::Kind::Folder && !List(normal).empty()) return Fail(error::DirNotEmpty);
  names_.erase(normal);
  pending_.push_back({NameChange::Kind::Delete, normal, {}, {}});
  return true;
}

bool MemoryFileSystem::MoveFileReplacing(TextView from, TextView to) {
  const Text source = Normal(from), target = Normal(to);
  if (const Entry* replaced = Find(target);
      replaced != nullptr &&
      (Attributes(target, *replaced) & (FileAttributeDirectory | FileAttributeReadOnly)) != 0)
    return Fail(error::AccessDenied);
  const Entry* moved = Find(source);
  if (moved == nullptr) return FailMissing(source);
  if (!IsFolder(Text(ParentOf(target)))) return Fail(error::PathNotFound);
  if (source == target) return true;
  // A folder's names move with it.
  const Text inside = source + u'/';
  std::vector<Text> movedNames{source};
  for (const auto& named : names_)
    if (named.first.starts_with(inside)) movedNames.push_back(named.first);
  for (const Text& name : movedNames) {
    Entry entry = std::move(names_.at(name));
    names_.erase(name);
    names_[target + name.substr(source.size())] = std::move(entry);
  }
  pending_.push_back({NameChange::Kind::Rename, source, target, {}});
  return true;
}

bool MemoryFileSystem::FlushFolder(TextView folder) {
  const Text flushed = Normal(folder);
  if (!IsFolder(flushed)) return FailNoFolder(flushed);
  const auto inFolder = [&](const Text& name) { return ParentOf(name) == flushed; };
  std::erase_if(durable_, [&](const auto& named) { return inFolder(named.first); });
  for (const auto& [name, entry] : names_)
    if (inFolder(name)) durable_[name] = entry;
  std::erase_if(pending_, [&](const NameChange& change) {
    return inFolder(change.name) &&
           (change.kind != NameChange::Kind::Rename || inFolder(change.to));
  });
  return true;
}

bool MemoryFileSystem::ResolveLink(TextView name, Text& target) {
  const std::optional<Text> followed = Follow(Normal(name));
  if (!followed) return Fail(error::CantResolveFilename);
  if (Find(*followed) == nullptr) return FailMissing(*followed);
  target = *followed;
  return true;
}

bool MemoryFileSystem::VolumeSupportsLinks(TextView, bool& supported) {
  supported = true;
  return true;
}

// Handles -----------------------------------------------------------------

Handle MemoryFileSystem::NewHandle() { return next_++; }

MemoryFileSystem::Open* MemoryFileSystem::OpenOf(Handle file) {
  const auto found = handles_.find(file);
  if (found != handles_.end()) return &found->second;
  SetLastError(error::InvalidHandle);
  return nullptr;
}

// As Windows decides it: every handle open on the file must share what the
// new one asks for, and the new one must share what each of them has.
bool MemoryFileSystem::SharingAllows(const std::shared_ptr<File>& file, std::uint32_t access,
                                     std::uint32_t share) const {
  const auto sharedFor = [](std::uint32_t wanted, std::uint32_t shared) {
    return ((wanted & GenericRead) == 0 || (shared & FileShareRead) != 0) &&
           ((wanted & GenericWrite) == 0 || (shared & FileShareWrite) != 0);
  };
  return std::ranges::all_of(handles_, [&](const auto& handle) {
    const Open& open = handle.second;
    return open.file != file || (sharedFor(access, open.share) && sharedFor(open.access, share));
  });
}

Handle MemoryFileSystem::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t flags) {
  const auto refuse = [this](std::uint32_t code) {
    SetLastError(code);
    return InvalidHandle;
  };
  if (disposition != CreateNew && disposition != CreateAlways && disposition != OpenExisting)
    return refuse(error::InvalidParameter);
  const Text normal = Normal(name);
  if (!IsFolder(Text(ParentOf(normal)))) return refuse(error::PathNotFound);
  // O_EXCL: any name there, a link that leads nowhere included, is in the way.
  const Entry* there = Find(normal);
  if (disposition == CreateNew && there != nullptr) return refuse(error::FileExists);
  const std::optional<Text> followed = Follow(normal);
  if (!followed) return refuse(error::CantResolveFilename);
  const Entry* entry = Find(*followed);
  const bool writes = (access & GenericWrite) != 0;

  if (entry == nullptr) {
    // A link that leads nowhere is not followed by a create.
    if (disposition == OpenExisting || there != nullptr) {
      FailMissing(normal);
      return InvalidHandle;
    }
    auto file =
        std::make_shared<File>(File{{}, {}, (flags & FileAttributeReadOnly) != 0, now_, now_});
    const Entry created{Entry::Kind::File, file, {}};
    names_[normal] = created;
    pending_.push_back({NameChange::Kind::Create, normal, {}, created});
    const Handle handle = NewHandle();
    handles_[handle] = Open{std::move(file), access, share, 0};
    // Windows tells CreateAlways whether the file was there already.
    if (disposition == CreateAlways) SetLastError(error::Success);
    return handle;
  }
  if (entry->kind == Entry::Kind::Folder) {
    // A folder opens only for backup semantics, and then for reading alone.
    if (writes || disposition != OpenExisting || (flags & FileFlagBackupSemantics) == 0)
      return refuse(error::AccessDenied);
    const Handle handle = NewHandle();
    handles_[handle] = Open{nullptr, access, share, 0};
    return handle;
  }
  const std::shared_ptr<File>& file = entry->file;
  if (file->readOnly && writes) return refuse(error::AccessDenied);
  if (!SharingAllows(file, access, share)) return refuse(error::SharingViolation);
  if (disposition == CreateAlways) {
    // An emptied file holds nothing on the disk until it is flushed.
    file->bytes.clear();
    file->durable.clear();
    file->lastWrite = now_;
    SetLastError(error::AlreadyExists);
  }
  const Handle handle = NewHandle();
  handles_[handle] = Open{file, access, share, 0};
  return handle;
}

bool MemoryFileSystem::ReadFile(Handle file, void* buffer, std::uint32_t count,
                                std::uint32_t& done) {
  done = 0;
  Open* open = OpenOf(file);
  if (open == nullptr) return false;
  if (!open->file || (open->access & GenericRead) == 0) return Fail(error::AccessDenied);
  const std::string& bytes = open->file->bytes;
  if (open->position < bytes.size()) {
    done =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(count, bytes.size() - open->position));
    std::memcpy(buffer, bytes.data() + open->position, done);
    open->position += done;
  }
  return true;
}

bool MemoryFileSystem::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                                 std::uint32_t& done) {
  done = 0;
  Open* open = OpenOf(file);
  if (open == nullptr) return false;
  if (!open->file || (open->access & GenericWrite) == 0) return Fail(error::AccessDenied);
  std::string& bytes = open->file->bytes;
  if (bytes.size() < open->position + count) bytes.resize(open->position + count);
  std::memcpy(bytes.data() + open->position, buffer, count);
  open->position += count;
  open->file->lastWrite = now_;
  done = count;
  return true;
}

bool MemoryFileSystem::FileSize(Handle file, std::uint64_t& size) {
  Open* open = OpenOf(file);
  if (open == nullptr) return false;
  size = open->file ? open->file->bytes.size() : 0;
  return true;
}

bool MemoryFileSystem::CloseHandle(Handle file) {
  if (OpenOf(file) == nullptr) return false;
  handles_.erase(file);
  return true;
}

bool MemoryFileSystem::CopyPermissions(Handle model, Handle file) {
  Open* from = OpenOf(model);
  Open* to = OpenOf(file);
  if (from == nullptr || to == nullptr) return false;
  // The owner keeps reading and writing the copy.
  if (to->file) to->file->readOnly = false;
  return true;
}

bool MemoryFileSystem::SetFileTimes(Handle file, const FileTime*, const FileTime* lastAccess,
                                    const FileTime* lastWrite) {
  Open* open = OpenOf(file);
  if (open == nullptr) return false;
  if (!open->file) return true;
  // Zero leaves a time as it is; the creation time cannot be set on POSIX.
  if (lastAccess != nullptr && lastAccess->ticks != 0) open->file->lastAccess = *lastAccess;
  if (lastWrite != nullptr && lastWrite->ticks != 0) open->file->lastWrite = *lastWrite;
  return true;
}

bool MemoryFileSystem::FlushFileBuffers(Handle file) {
  Open* open = OpenOf(file);
  if (open == nullptr) return false;
  if (open->file) open->file->durable = open->file->bytes;
  return true;
}

// One process runs here, so a claim is never held by another; the fault
// double's clock plays one that is.
Handle MemoryFileSystem::ClaimFolder(TextView folder, std::uint32_t) {
  const Text normal = Normal(folder);
  if (!IsFolder(normal)) {
    FailNoFolder(normal);
    return InvalidHandle;
  }
  const Handle claim = NewHandle();
  claims_[claim] = normal;
  return claim;
}

void MemoryFileSystem::ReleaseFolderClaim(Handle claim) { claims_.erase(claim); }

FileType MemoryFileSystem::HandleFileType(Handle file) {
  if (handles_.contains(file)) return FileType::Disk;
  return Inner().HandleFileType(file);
}

}  // namespace hq2hd::testing
