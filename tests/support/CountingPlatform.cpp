#include "support/CountingPlatform.h"

#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "support/CountingAllocations.h"

namespace hq2hd::testing {

using namespace platform;

namespace {

// Names in the trace only need to be recognisable; the tests use ASCII folders.
std::string Printable(TextView text) {
  std::string printable;
  printable.reserve(text.size());
  for (char16_t unit : text) printable.push_back(unit >= 0x20 && unit < 0x7F ? char(unit) : '?');
  return printable;
}

std::filesystem::path NativePath(TextView name) { return std::filesystem::path(Text(name)); }

// A folder's name to compare: no separator at its end, "." for the current one.
std::filesystem::path FolderPath(const std::filesystem::path::string_type& folder) {
  auto trimmed = folder;
  while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
  return trimmed.empty() ? std::filesystem::path(".")
                         : std::filesystem::path(trimmed).lexically_normal();
}
std::filesystem::path FolderPath(TextView folder) {
  return FolderPath(NativePath(folder).native());
}

Fault Error(std::uint32_t code) { return Fault{Fault::Type::Error, code}; }
const Fault ShortTransfer{Fault::Type::Short, 0};

}  // namespace

const std::vector<Fault>& FaultsFor(CallKind kind) {
  static const std::map<CallKind, std::vector<Fault>> faults{
      // File not found, access denied, sharing violation.
      {CallKind::Open, {Error(2), Error(5), Error(32)}},
      // Data error (CRC), reached the end of the file; or fewer bytes than asked.
      {CallKind::Read, {Error(23), Error(38), ShortTransfer}},
      // Disk full; or fewer bytes taken than given, reported as success.
      {CallKind::Write, {Error(112), ShortTransfer}},
      {CallKind::Close, {Error(5), Error(32)}},
      {CallKind::Delete, {Error(5), Error(32)}},
      {CallKind::Rename, {Error(5), Error(32)}},
      {CallKind::Query, {Error(5), Error(32)}},
      {CallKind::TimeWrite, {Error(5), Error(32)}},
      {CallKind::TimeConversion, {Error(87)}},
      {CallKind::FullName, {Error(87)}},
      // No mapping for the Unicode character, invalid parameter.
      {CallKind::Conversion, {Error(1113), Error(87)}},
      {CallKind::LowerCase, {Error(87)}},
      // The system has no text for the code.
      {CallKind::Message, {Error(317)}},
      // Disk full (space is allocated late), the device failed.
      {CallKind::Flush, {Error(112), Error(1117)}},
      {CallKind::Claim, {Error(5)}},
  };
  return faults.at(kind);
}

std::string Describe(CallKind kind) {
  switch (kind) {
    case CallKind::Open:
      return "open";
    case CallKind::Read:
      return "read";
    case CallKind::Write:
      return "write";
    case CallKind::Close:
      return "close";
    case CallKind::Delete:
      return "delete";
    case CallKind::Rename:
      return "rename";
    case CallKind::Query:
      return "query";
    case CallKind::TimeWrite:
      return "time write";
    case CallKind::TimeConversion:
      return "time conversion";
    case CallKind::FullName:
      return "full name";
    case CallKind::Conversion:
      return "code-page conversion";
    case CallKind::LowerCase:
      return "lower-casing";
    case CallKind::Message:
      return "system message";
    case CallKind::Flush:
      return "flush";
    case CallKind::Claim:
      return "folder claim";
  }
  return "?";
}

std::string Describe(const Fault& fault) {
  if (fault.type == Fault::Type::Short) return "short transfer";
  return "error " + std::to_string(fault.error);
}

CountingPlatform::CountingPlatform() : ForwardingPlatform(NativePlatform()) {}

CountingPlatform::~CountingPlatform() { Reset(); }

void CountingPlatform::Reset() {
  CountingAllocations::Pause pause;
  for (Handle handle : realOpen_) Inner().CloseHandle(handle);
  // A killed process gives its claim back with its end.
  for (Handle claim : realClaims_) Inner().ReleaseFolderClaim(claim);
  realOpen_.clear();
  realClaims_.clear();
  programOpen_.clear();
  faults_.clear();
  crashAt_ = 0;
  crash_ = Crash::Kill;
  refuseWrites_ = false;
  reporting_ = false;
  reads_ = writes_ = 0;
  for (CallFault* fault :
       {&createFault, &readFault, &writeFault, &closeFault, &moveFault, &deleteFault, &volumeFault,
        &lowerCaseFault, &flushFault, &folderFlushFault, &claimFault})
    *fault = CallFault{};
  createFaultName.clear();
  shortReadAt = shortWriteAt = 0;
  fullPathError = 0;
  lowerCaseRunsOutOfMemory = false;
  reportedSize.reset();
  stdoutWriteError = 0;
  moduleFileNameError = 0;
  clockMs = 0;
  claimHeldMs = 0;
  sleeps.clear();
  hold_.reset();
  lostNameChanges = 0;
  touchedNames_.clear();
  durableNames_.clear();
  currentNames_.clear();
  contents_.clear();
  writableFiles_.clear();
  pendingNames_.clear();
  lastFile_ = 0;
  trace_.clear();
  stdoutBytes.clear();
  stderrBytes.clear();
}

void CountingPlatform::FailCall(int index, Fault fault) { faults_[index] = fault; }

void CountingPlatform::CrashAt(int index, Crash crash) {
  crashAt_ = index;
  crash_ = crash;
}

void CountingPlatform::ApplyPowerLoss() {
  if (crashAt_ == 0 || crash_ != Crash::PowerLoss) return;
  CountingAllocations::Pause pause;
  std::map<Text, int> names = durableNames_;
  for (std::size_t n = 0; n < pendingNames_.size(); ++n) {
    if (n < 32 && (lostNameChanges >> n & 1u) != 0) continue;
    const NameChange& change = pendingNames_[n];
    switch (change.kind) {
      case NameChange::Kind::Create:
        names[change.name] = change.file;
        break;
      case NameChange::Kind::Delete:
        names.erase(change.name);
        break;
      case NameChange::Kind::Rename:
        // A file whose create was lost has nothing to move.
        if (auto moved = names.find(change.name); moved != names.end()) {
          names[change.to] = moved->second;
          names.erase(change.name);
        }
        break;
    }
  }
  const auto regularOrAbsent = [](const std::filesystem::path& path) {
    const auto status = std::filesystem::symlink_status(path);
    return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
  };
  for (const Text& name : touchedNames_) {
    const std::filesystem::path path = NativePath(name);
    if (!regularOrAbsent(path)) continue;
    std::filesystem::remove(path);
    if (auto file = names.find(name); file != names.end()) {
      const std::string& bytes = contents_[file->second];
      std::ofstream(path, std::ios::binary | std::ios::trunc)
          .write(bytes.data(), std::streamsize(bytes.size()));
    }
  }
}

void CountingPlatform::Touch(TextView name) {
  if (!touchedNames_.insert(Text(name)).second) return;
  const std::filesystem::path path = NativePath(name);
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) return;
  // There before the run: on the disk as it is now.
  const int file = ++lastFile_;
  std::ifstream in(path, std::ios::binary);
  contents_[file] = std::string(std::istreambuf_iterator<char>(in), {});
  durableNames_[Text(name)] = currentNames_[Text(name)] = file;
}

std::string CountingPlatform::BytesOf(int file) const {
  for (const auto& [name, number] : currentNames_) {
    if (number != file) continue;
    std::ifstream in(NativePath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  return {};
}

std::string CountingPlatform::TraceText() const {
  CountingAllocations::Pause pause;
  std::ostringstream text;
  for (std::size_t i = 0; i < trace_.size(); ++i) {
    const CallRecord& call = trace_[i];
    text << "  #" << i + 1 << " " << call.function << "(" << call.argument << ")";
    if (!call.outcome.empty()) text << " -> " << call.outcome;
    text << "\n";
  }
  return text.str();
}

CountingPlatform::Decision CountingPlatform::Enter(CallKind kind, const char* function,
                                                   TextView argument, CallFault* byFunction) {
  return Enter(kind, function, Printable(argument), byFunction);
}

CountingPlatform::Decision CountingPlatform::Enter(CallKind kind, const char* function,
                                                   Handle handle, CallFault* byFunction) {
  return Enter(kind, function, "handle " + std::to_string(handle), byFunction);
}

CountingPlatform::Decision CountingPlatform::Enter(CallKind kind, const char* function,
                                                   std::string argument, CallFault* byFunction) {
  const bool functionFails = byFunction != nullptr && byFunction->Hit();
  if (reporting_) return functionFails ? Decision{Action::Fail, byFunction->error} : Decision{};
  trace_.push_back(CallRecord{kind, function, std::move(argument), {}});
  const int index = Calls();
  if (crashAt_ != 0 && index >= crashAt_) {
    bool torn = index == crashAt_ && crash_ == Crash::TornWrite && kind == CallKind::Write;
    return {torn ? Action::TornWrite : Action::Nothing, error::AccessDenied};
  }
  if (hold_ && hold_->waitedSince) {
    // The first call after a wait is the retry, if it is the same call.
    const bool retry = hold_->function == function && hold_->argument == trace_.back().argument;
    if (retry && hold_->left != 0) {
      hold_->waitedSince = false;
      if (hold_->left > 0) --hold_->left;
      return {Action::Fail, hold_->error};
    }
    hold_.reset();
  }
  auto planned = faults_.find(index);
  if (planned == faults_.end() && !functionFails) return {};
  const Fault fault = planned != faults_.end()
                          ? planned->second
                          : Fault{Fault::Type::Error, byFunction->error, byFunction->tries};
  if (fault.type == Fault::Type::Short) return {Action::Short, 0};
  hold_ = Hold{function, trace_.back().argument, fault.error, fault.tries - 1, false};
  return {Action::Fail, fault.error};
}

void CountingPlatform::Note(const char* outcome) {
  if (!trace_.empty()) trace_.back().outcome = outcome;
}

Text CountingPlatform::ModuleFileName() {
  if (moduleFileNameError != 0) {
    SetLastError(moduleFileNameError);
    return Text();
  }
  if (moduleFileName.empty()) return Inner().ModuleFileName();
  // As the backends do: a longer name arrives cut, and says so.
  constexpr std::size_t limit = 260;
  SetLastError(moduleFileName.size() > limit ? error::InsufficientBuffer : error::Success);
  return moduleFileName.substr(0, limit);
}

std::uint32_t CountingPlatform::AnsiCodePage() {
  return ansiCodePage != 0 ? ansiCodePage : Inner().AnsiCodePage();
}

std::uint32_t CountingPlatform::ConsoleOutputCodePage() {
  return consoleCodePage != 0 ? consoleCodePage : Inner().ConsoleOutputCodePage();
}

Handle CountingPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t flags) {
  CountingAllocations::Pause pause;
  const std::size_t leafStart = name.find_last_of(u"\\/");
  const TextView leaf = leafStart == TextView::npos ? name : name.substr(leafStart + 1);
  const bool named = createFaultName.empty() || leaf == createFaultName;
  Decision decision = Enter(CallKind::Open, "CreateFile", name, named ? &createFault : nullptr);
  if (decision.action != Action::Pass) return Refuse(decision.error, InvalidHandle);
  if (refuseWrites_ && ((access & GenericWrite) != 0 || disposition != OpenExisting))
    return Refuse(error::AccessDenied, InvalidHandle);
  const bool changes = (access & GenericWrite) != 0 || disposition != OpenExisting;
  if (changes) Touch(name);
  Handle handle = Inner().CreateFile(name, access, share, disposition, flags);
  if (handle != InvalidHandle) {
    programOpen_.insert(handle);
    realOpen_.insert(handle);
    if (changes) {
      auto current = currentNames_.find(Text(name));
      if (current == currentNames_.end()) {
        // A new file, and a new name that the folder's next flush makes last.
        current = currentNames_.emplace(Text(name), ++lastFile_).first;
        contents_[current->second].clear();
        pendingNames_.push_back({NameChange::Kind::Create, Text(name), {}, current->second});
      } else if (disposition == CreateAlways) {
        // An emptied file holds nothing on the disk until it is flushed.
        contents_[current->second].clear();
      }
      if ((access & GenericWrite) != 0) writableFiles_[handle] = current->second;
    }
  }
  return handle;
}

bool CountingPlatform::ReadFile(Handle file, void* buffer, std::uint32_t count,
                                std::uint32_t& done) {
  CountingAllocations::Pause pause;
  done = 0;
  const int read = ++reads_;
  Decision decision = Enter(CallKind::Read, "ReadFile", file, &readFault);
  if (decision.action == Action::Pass && read == shortReadAt) decision.action = Action::Short;
  if (decision.action == Action::Short)
    count /= 2;
  else if (decision.action != Action::Pass)
    return Refuse(decision.error, false);
  return Inner().ReadFile(file, buffer, count, done);
}

bool CountingPlatform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                                 std::uint32_t& done) {
  CountingAllocations::Pause pause;
  if (file == CapturedOutput && stdoutWriteError != 0) {
    done = 0;
    SetLastError(stdoutWriteError);
    return false;
  }
  if (file == CapturedOutput || file == CapturedError) {
    (file == CapturedOutput ? stdoutBytes : stderrBytes)
        .append(static_cast<const char*>(buffer), count);
    done = count;
    return true;
  }
  done = 0;
  const int write = ++writes_;
  Decision decision = Enter(CallKind::Write, "WriteFile", file, &writeFault);
  if (decision.action == Action::Pass && write == shortWriteAt) decision.action = Action::Short;
  switch (decision.action) {
    case Action::Pass:
      break;
    case Action::Short:
      count /= 2;
      break;
    case Action::TornWrite:
      Inner().WriteFile(file, buffer, count / 2, done);
      done = 0;
      return Refuse(decision.error, false);
    default:
      return Refuse(decision.error, false);
  }
  return Inner().WriteFile(file, buffer, count, done);
}

bool CountingPlatform::FileSize(Handle file, std::uint64_t& size) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FileSize", file);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (!Inner().FileSize(file, size)) return false;
  if (reportedSize) size = *reportedSize;
  return true;
}

bool CountingPlatform::CloseHandle(Handle file) {
  CountingAllocations::Pause pause;
  if (file == CapturedOutput || file == CapturedError) return true;
  Decision decision = Enter(CallKind::Close, "CloseHandle", file, &closeFault);
  programOpen_.erase(file);
  writableFiles_.erase(file);
  // A killed process closes nothing; a refused close still ends the handle.
  if (decision.action == Action::Nothing) return Refuse(decision.error, false);
  realOpen_.erase(file);
  bool closed = Inner().CloseHandle(file);
  if (decision.action == Action::Fail) return Refuse(decision.error, false);
  return closed;
}

bool CountingPlatform::DeleteFile(TextView name) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Delete, "DeleteFile", name, &deleteFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (refuseWrites_) return Refuse(error::AccessDenied, false);
  Touch(name);
  if (!Inner().DeleteFile(name)) return false;
  currentNames_.erase(Text(name));
  pendingNames_.push_back({NameChange::Kind::Delete, Text(name), {}, 0});
  return true;
}

bool CountingPlatform::RemoveDirectory(TextView name) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Delete, "RemoveDirectory", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (refuseWrites_) return Refuse(error::AccessDenied, false);
  return Inner().RemoveDirectory(name);
}

bool CountingPlatform::MoveFileReplacing(TextView from, TextView to) {
  CountingAllocations::Pause pause;
  Decision decision =
      Enter(CallKind::Rename, "MoveFileReplacing", Text(from) + u" -> " + Text(to), &moveFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (refuseWrites_) return Refuse(error::AccessDenied, false);
  Touch(from);
  Touch(to);
  if (!Inner().MoveFileReplacing(from, to)) return false;
  if (auto moved = currentNames_.find(Text(from)); moved != currentNames_.end()) {
    currentNames_[Text(to)] = moved->second;
    currentNames_.erase(moved);
  }
  pendingNames_.push_back({NameChange::Kind::Rename, Text(from), Text(to), 0});
  return true;
}

std::uint32_t CountingPlatform::FileAttributes(TextView name) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FileAttributes", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, InvalidFileAttributes);
  return Inner().FileAttributes(name);
}

bool CountingPlatform::FileAttributesEx(TextView name, FileAttributeData& data) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FileAttributesEx", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FileAttributesEx(name, data);
}

bool CountingPlatform::FindFirstEntry(TextView name, std::uint32_t& attributes) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FindFirstEntry", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FindFirstEntry(name, attributes);
}

std::uint32_t CountingPlatform::FullPathName(TextView name, std::uint32_t bufferLength,
                                             char16_t* buffer) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::FullName, "FullPathName", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, 0u);
  const std::uint32_t length = Inner().FullPathName(name, bufferLength, buffer);
  if (fullPathError != 0) SetLastError(fullPathError);
  return length;
}

bool CountingPlatform::SetFileTimes(Handle file, const FileTime* creation,
                                    const FileTime* lastAccess, const FileTime* lastWrite) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeWrite, "SetFileTimes", file);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().SetFileTimes(file, creation, lastAccess, lastWrite);
}

bool CountingPlatform::FileTimeToLocalFileTime(FileTime utc, FileTime& local) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "FileTimeToLocalFileTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FileTimeToLocalFileTime(utc, local);
}

bool CountingPlatform::LocalFileTimeToFileTime(FileTime local, FileTime& utc) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "LocalFileTimeToFileTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().LocalFileTimeToFileTime(local, utc);
}

bool CountingPlatform::FileTimeToSystemTime(FileTime time, SystemTime& fields) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "FileTimeToSystemTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FileTimeToSystemTime(time, fields);
}

bool CountingPlatform::SystemTimeToFileTime(const SystemTime& fields, FileTime& time) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "SystemTimeToFileTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().SystemTimeToFileTime(fields, time);
}

bool CountingPlatform::CodePageInfo(std::uint32_t codePage) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Conversion, "CodePageInfo", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().CodePageInfo(codePage);
}

int CountingPlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                          const char* bytes, int count, char16_t* units,
                                          int unitCapacity) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Conversion, "MultiByteToWideChar", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, 0);
  return Inner().MultiByteToWideChar(codePage, flags, bytes, count, units, unitCapacity);
}

int CountingPlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                          const char16_t* units, int count, char* bytes,
                                          int byteCapacity) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Conversion, "WideCharToMultiByte", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, 0);
  return Inner().WideCharToMultiByte(codePage, flags, units, count, bytes, byteCapacity);
}

int CountingPlatform::LowerCase(std::uint32_t locale, const char16_t* source, int count,
                                char16_t* dest) {
  if (lowerCaseRunsOutOfMemory) throw std::bad_alloc();
  CountingAllocations::Pause pause;
  Decision decision =
      Enter(CallKind::LowerCase, "LowerCase", TextView(source, count), &lowerCaseFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, 0);
  return Inner().LowerCase(locale, source, count, dest);
}

Handle CountingPlatform::StdHandle(StdStream stream) {
  if (stream == StdStream::Output) {
    reporting_ = true;
    return CapturedOutput;
  }
  if (stream == StdStream::Error) return CapturedError;
  return Inner().StdHandle(stream);
}

FileType CountingPlatform::HandleFileType(Handle file) {
  if (file == CapturedOutput) return stdoutType;
  if (file == CapturedError) return FileType::Disk;
  return Inner().HandleFileType(file);
}

Text CountingPlatform::SystemMessage(std::uint32_t code) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Message, "SystemMessage", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, Text());
  return Inner().SystemMessage(code);
}

bool CountingPlatform::FlushFileBuffers(Handle file) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Flush, "FlushFileBuffers", file, &flushFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (!Inner().FlushFileBuffers(file)) return false;
  if (auto written = writableFiles_.find(file); written != writableFiles_.end())
    contents_[written->second] = BytesOf(written->second);
  return true;
}

bool CountingPlatform::FlushFolder(TextView folder) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Flush, "FlushFolder", folder, &folderFlushFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (!Inner().FlushFolder(folder)) return false;
  // The folder's names as the program sees them are now the disk's.
  const std::filesystem::path flushed = FolderPath(folder);
  const auto inFolder = [&](const Text& name) {
    return FolderPath(NativePath(name).parent_path().native()) == flushed;
  };
  std::vector<NameChange> stillPending;
  for (const NameChange& change : pendingNames_) {
    if (!inFolder(change.name) || (change.kind == NameChange::Kind::Rename && !inFolder(change.to)))
      stillPending.push_back(change);
  }
  for (const Text& name : touchedNames_) {
    if (!inFolder(name)) continue;
    if (auto current = currentNames_.find(name); current != currentNames_.end())
      durableNames_[name] = current->second;
    else
      durableNames_.erase(name);
  }
  pendingNames_ = std::move(stillPending);
  return true;
}

Handle CountingPlatform::ClaimFolder(TextView folder, std::uint32_t timeoutMs) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Claim, "ClaimFolder", folder, &claimFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, InvalidHandle);
  if (claimHeldMs > timeoutMs) {
    clockMs += timeoutMs;
    return Refuse(error::WaitTimeout, InvalidHandle);
  }
  clockMs += claimHeldMs;
  const Handle claim = Inner().ClaimFolder(folder, timeoutMs);
  if (claim != InvalidHandle) {
    programOpen_.insert(claim);
    realClaims_.insert(claim);
  }
  return claim;
}

void CountingPlatform::Sleep(std::uint32_t milliseconds) {
  CountingAllocations::Pause pause;
  clockMs += milliseconds;
  sleeps.push_back(milliseconds);
  if (hold_) hold_->waitedSince = true;
}

void CountingPlatform::ReleaseFolderClaim(Handle claim) {
  CountingAllocations::Pause pause;
  programOpen_.erase(claim);
  if (realClaims_.erase(claim) != 0) Inner().ReleaseFolderClaim(claim);
}

bool CountingPlatform::VolumeSupportsLinks(TextView name, bool& supported) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "VolumeSupportsLinks", name, &volumeFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().VolumeSupportsLinks(name, supported);
}

bool CountingPlatform::ResolveLink(TextView name, Text& target) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "ResolveLink", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().ResolveLink(name, target);
}

}  // namespace hq2hd::testing
