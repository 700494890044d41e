#include "support/CountingPlatform.h"

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
  realOpen_.clear();
  programOpen_.clear();
  faults_.clear();
  crashAt_ = 0;
  tornWrite_ = false;
  refuseWrites_ = false;
  reporting_ = false;
  trace_.clear();
  stdout_.clear();
  stderr_.clear();
}

void CountingPlatform::FailCall(int index, Fault fault) { faults_[index] = fault; }

void CountingPlatform::CrashAt(int index, bool tornWrite) {
  crashAt_ = index;
  tornWrite_ = tornWrite;
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
                                                   TextView argument) {
  return Enter(kind, function, Printable(argument));
}

CountingPlatform::Decision CountingPlatform::Enter(CallKind kind, const char* function,
                                                   Handle handle) {
  return Enter(kind, function, "handle " + std::to_string(handle));
}

CountingPlatform::Decision CountingPlatform::Enter(CallKind kind, const char* function,
                                                   std::string argument) {
  if (reporting_) return {};
  trace_.push_back(CallRecord{kind, function, std::move(argument), {}});
  const int index = Calls();
  if (crashAt_ != 0 && index >= crashAt_) {
    bool torn = index == crashAt_ && tornWrite_ && kind == CallKind::Write;
    return {torn ? Action::TornWrite : Action::Nothing, error::AccessDenied};
  }
  auto planned = faults_.find(index);
  if (planned == faults_.end()) return {};
  if (planned->second.type == Fault::Type::Short) return {Action::Short, 0};
  return {Action::Fail, planned->second.error};
}

void CountingPlatform::Note(const char* outcome) {
  if (!trace_.empty()) trace_.back().outcome = outcome;
}

Text CountingPlatform::ModuleFileName() {
  return moduleFileName.empty() ? Inner().ModuleFileName() : moduleFileName;
}

std::uint32_t CountingPlatform::AnsiCodePage() {
  return ansiCodePage != 0 ? ansiCodePage : Inner().AnsiCodePage();
}

Handle CountingPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t flags) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Open, "CreateFile", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, InvalidHandle);
  if (refuseWrites_ && ((access & GenericWrite) != 0 || disposition != OpenExisting))
    return Refuse(error::AccessDenied, InvalidHandle);
  Handle handle = Inner().CreateFile(name, access, share, disposition, flags);
  if (handle != InvalidHandle) {
    programOpen_.insert(handle);
    realOpen_.insert(handle);
  }
  return handle;
}

bool CountingPlatform::ReadFile(Handle file, void* buffer, std::uint32_t count,
                                std::uint32_t& done) {
  CountingAllocations::Pause pause;
  done = 0;
  Decision decision = Enter(CallKind::Read, "ReadFile", file);
  if (decision.action == Action::Short)
    count /= 2;
  else if (decision.action != Action::Pass)
    return Refuse(decision.error, false);
  return Inner().ReadFile(file, buffer, count, done);
}

bool CountingPlatform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                                 std::uint32_t& done) {
  CountingAllocations::Pause pause;
  if (file == CapturedOutput || file == CapturedError) {
    (file == CapturedOutput ? stdout_ : stderr_).append(static_cast<const char*>(buffer), count);
    done = count;
    return true;
  }
  done = 0;
  Decision decision = Enter(CallKind::Write, "WriteFile", file);
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
  return Inner().FileSize(file, size);
}

bool CountingPlatform::CloseHandle(Handle file) {
  CountingAllocations::Pause pause;
  if (file == CapturedOutput || file == CapturedError) return true;
  Decision decision = Enter(CallKind::Close, "CloseHandle", file);
  programOpen_.erase(file);
  // A killed process closes nothing; a refused close still ends the handle.
  if (decision.action == Action::Nothing) return Refuse(decision.error, false);
  realOpen_.erase(file);
  bool closed = Inner().CloseHandle(file);
  if (decision.action == Action::Fail) return Refuse(decision.error, false);
  return closed;
}

bool CountingPlatform::DeleteFile(TextView name) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Delete, "DeleteFile", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (refuseWrites_) return Refuse(error::AccessDenied, false);
  return Inner().DeleteFile(name);
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
  Decision decision = Enter(CallKind::Rename, "MoveFileReplacing", Text(from) + u" -> " + Text(to));
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (refuseWrites_) return Refuse(error::AccessDenied, false);
  return Inner().MoveFileReplacing(from, to);
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
  return Inner().FullPathName(name, bufferLength, buffer);
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
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::LowerCase, "LowerCase", TextView(source, count));
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
  if (file == CapturedOutput || file == CapturedError) return FileType::Disk;
  return Inner().HandleFileType(file);
}

Text CountingPlatform::SystemMessage(std::uint32_t code) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Message, "SystemMessage", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, Text());
  return Inner().SystemMessage(code);
}

bool CountingPlatform::ResolveLink(TextView name, Text& target) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "ResolveLink", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().ResolveLink(name, target);
}

}  // namespace hq2hd::testing
