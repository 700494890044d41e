#include "support/FaultPlan.h"

#include <new>
#include <sstream>

#include "support/CountingAllocations.h"
#include "support/ProcessView.h"

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

void FaultPlanPlatform::Reset() {
  CountingAllocations::Pause pause;
  hold_.reset();
  reporting_ = false;
  reads_ = writes_ = 0;
  trace_.clear();
}

std::string FaultPlanPlatform::TraceText() const {
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

FaultPlanPlatform::Decision FaultPlanPlatform::Enter(CallKind kind, const char* function,
                                                     TextView argument, CallFault* byFunction) {
  return Enter(kind, function, Printable(argument), byFunction);
}

FaultPlanPlatform::Decision FaultPlanPlatform::Enter(CallKind kind, const char* function,
                                                     Handle handle, CallFault* byFunction) {
  return Enter(kind, function, "handle " + std::to_string(handle), byFunction);
}

FaultPlanPlatform::Decision FaultPlanPlatform::Enter(CallKind kind, const char* function,
                                                     std::string argument, CallFault* byFunction) {
  const bool functionFails = byFunction != nullptr && byFunction->Hit();
  if (reporting_) return functionFails ? Decision{Action::Fail, byFunction->error} : Decision{};
  trace_.push_back(CallRecord{kind, function, std::move(argument), {}});
  const int index = static_cast<int>(trace_.size());
  if (plan_.crashAt != 0 && index >= plan_.crashAt) {
    bool torn =
        index == plan_.crashAt && plan_.crash == Crash::TornWrite && kind == CallKind::Write;
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
  auto planned = plan_.faults.find(index);
  if (planned == plan_.faults.end() && !functionFails) return {};
  const Fault fault = planned != plan_.faults.end()
                          ? planned->second
                          : Fault{Fault::Type::Error, byFunction->error, byFunction->tries};
  if (fault.type == Fault::Type::Short) return {Action::Short, 0};
  hold_ = Hold{function, trace_.back().argument, fault.error, fault.tries - 1, false};
  return {Action::Fail, fault.error};
}

Handle FaultPlanPlatform::CreateFile(TextView name, std::uint32_t access, std::uint32_t share,
                                     std::uint32_t disposition, std::uint32_t flags) {
  CountingAllocations::Pause pause;
  const std::size_t leafStart = name.find_last_of(u"\\/");
  const TextView leaf = leafStart == TextView::npos ? name : name.substr(leafStart + 1);
  const bool named = plan_.createFaultName.empty() || leaf == plan_.createFaultName;
  Decision decision =
      Enter(CallKind::Open, "CreateFile", name, named ? &plan_.createFault : nullptr);
  if (decision.action != Action::Pass) return Refuse(decision.error, InvalidHandle);
  if (plan_.refuseWrites && ((access & GenericWrite) != 0 || disposition != OpenExisting))
    return Refuse(error::AccessDenied, InvalidHandle);
  return Inner().CreateFile(name, access, share, disposition, flags);
}

bool FaultPlanPlatform::ReadFile(Handle file, void* buffer, std::uint32_t count,
                                 std::uint32_t& done) {
  CountingAllocations::Pause pause;
  done = 0;
  const int read = ++reads_;
  Decision decision = Enter(CallKind::Read, "ReadFile", file, &plan_.readFault);
  if (decision.action == Action::Pass && read == plan_.shortReadAt) decision.action = Action::Short;
  if (decision.action == Action::Short)
    count /= 2;
  else if (decision.action != Action::Pass)
    return Refuse(decision.error, false);
  return Inner().ReadFile(file, buffer, count, done);
}

bool FaultPlanPlatform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                                  std::uint32_t& done) {
  CountingAllocations::Pause pause;
  // The standard output and error are checked by their bytes.
  if (ProcessView::Captured(file)) return Inner().WriteFile(file, buffer, count, done);
  done = 0;
  const int write = ++writes_;
  Decision decision = Enter(CallKind::Write, "WriteFile", file, &plan_.writeFault);
  if (decision.action == Action::Pass && write == plan_.shortWriteAt)
    decision.action = Action::Short;
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

bool FaultPlanPlatform::FileSize(Handle file, std::uint64_t& size) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FileSize", file);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (!Inner().FileSize(file, size)) return false;
  if (plan_.reportedSize) size = *plan_.reportedSize;
  return true;
}

bool FaultPlanPlatform::CloseHandle(Handle file) {
  CountingAllocations::Pause pause;
  if (ProcessView::Captured(file)) return Inner().CloseHandle(file);
  Decision decision = Enter(CallKind::Close, "CloseHandle", file, &plan_.closeFault);
  // A killed process closes nothing; a refused close still ends the handle.
  if (decision.action == Action::Nothing) return Refuse(decision.error, false);
  bool closed = Inner().CloseHandle(file);
  if (decision.action == Action::Fail) return Refuse(decision.error, false);
  return closed;
}

bool FaultPlanPlatform::DeleteFile(TextView name) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Delete, "DeleteFile", name, &plan_.deleteFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (plan_.refuseWrites) return Refuse(error::AccessDenied, false);
  return Inner().DeleteFile(name);
}

bool FaultPlanPlatform::RemoveDirectory(TextView name) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Delete, "RemoveDirectory", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (plan_.refuseWrites) return Refuse(error::AccessDenied, false);
  return Inner().RemoveDirectory(name);
}

bool FaultPlanPlatform::MoveFileReplacing(TextView from, TextView to) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Rename, "MoveFileReplacing", Text(from) + u" -> " + Text(to),
                            &plan_.moveFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  if (plan_.refuseWrites) return Refuse(error::AccessDenied, false);
  return Inner().MoveFileReplacing(from, to);
}

std::uint32_t FaultPlanPlatform::FileAttributes(TextView name) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FileAttributes", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, InvalidFileAttributes);
  return Inner().FileAttributes(name);
}

bool FaultPlanPlatform::FileAttributesEx(TextView name, FileAttributeData& data) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FileAttributesEx", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FileAttributesEx(name, data);
}

bool FaultPlanPlatform::FindFirstEntry(TextView name, std::uint32_t& attributes) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "FindFirstEntry", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FindFirstEntry(name, attributes);
}

std::uint32_t FaultPlanPlatform::FullPathName(TextView name, std::uint32_t bufferLength,
                                              char16_t* buffer) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::FullName, "FullPathName", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, 0u);
  const std::uint32_t length = Inner().FullPathName(name, bufferLength, buffer);
  if (plan_.fullPathError != 0) SetLastError(plan_.fullPathError);
  return length;
}

bool FaultPlanPlatform::SetFileTimes(Handle file, const FileTime* creation,
                                     const FileTime* lastAccess, const FileTime* lastWrite) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeWrite, "SetFileTimes", file);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().SetFileTimes(file, creation, lastAccess, lastWrite);
}

bool FaultPlanPlatform::FileTimeToLocalFileTime(FileTime utc, FileTime& local) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "FileTimeToLocalFileTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FileTimeToLocalFileTime(utc, local);
}

bool FaultPlanPlatform::LocalFileTimeToFileTime(FileTime local, FileTime& utc) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "LocalFileTimeToFileTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().LocalFileTimeToFileTime(local, utc);
}

bool FaultPlanPlatform::FileTimeToSystemTime(FileTime time, SystemTime& fields) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "FileTimeToSystemTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FileTimeToSystemTime(time, fields);
}

bool FaultPlanPlatform::SystemTimeToFileTime(const SystemTime& fields, FileTime& time) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::TimeConversion, "SystemTimeToFileTime", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().SystemTimeToFileTime(fields, time);
}

bool FaultPlanPlatform::CodePageInfo(std::uint32_t codePage) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Conversion, "CodePageInfo", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().CodePageInfo(codePage);
}

int FaultPlanPlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                           const char* bytes, int count, char16_t* units,
                                           int unitCapacity) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Conversion, "MultiByteToWideChar", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, 0);
  return Inner().MultiByteToWideChar(codePage, flags, bytes, count, units, unitCapacity);
}

int FaultPlanPlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                           const char16_t* units, int count, char* bytes,
                                           int byteCapacity) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Conversion, "WideCharToMultiByte", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, 0);
  return Inner().WideCharToMultiByte(codePage, flags, units, count, bytes, byteCapacity);
}

int FaultPlanPlatform::LowerCase(std::uint32_t locale, const char16_t* source, int count,
                                 char16_t* dest) {
  if (plan_.lowerCaseRunsOutOfMemory) throw std::bad_alloc();
  CountingAllocations::Pause pause;
  Decision decision =
      Enter(CallKind::LowerCase, "LowerCase", TextView(source, count), &plan_.lowerCaseFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, 0);
  return Inner().LowerCase(locale, source, count, dest);
}

Handle FaultPlanPlatform::StdHandle(StdStream stream) {
  if (stream == StdStream::Output) reporting_ = true;
  return Inner().StdHandle(stream);
}

Text FaultPlanPlatform::SystemMessage(std::uint32_t code) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Message, "SystemMessage", u"");
  if (decision.action != Action::Pass) return Refuse(decision.error, Text());
  return Inner().SystemMessage(code);
}

bool FaultPlanPlatform::FlushFileBuffers(Handle file) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Flush, "FlushFileBuffers", file, &plan_.flushFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FlushFileBuffers(file);
}

bool FaultPlanPlatform::FlushFolder(TextView folder) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Flush, "FlushFolder", folder, &plan_.folderFlushFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().FlushFolder(folder);
}

Handle FaultPlanPlatform::ClaimFolder(TextView folder, std::uint32_t timeoutMs) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Claim, "ClaimFolder", folder, &plan_.claimFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, InvalidHandle);
  return Inner().ClaimFolder(folder, timeoutMs);
}

// The first call after a wait may be the retry of a held one.
void FaultPlanPlatform::Sleep(std::uint32_t milliseconds) {
  CountingAllocations::Pause pause;
  if (hold_) hold_->waitedSince = true;
  Inner().Sleep(milliseconds);
}

void FaultPlanPlatform::ReleaseFolderClaim(Handle claim) {
  CountingAllocations::Pause pause;
  Inner().ReleaseFolderClaim(claim);
}

bool FaultPlanPlatform::VolumeSupportsLinks(TextView name, bool& supported) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "VolumeSupportsLinks", name, &plan_.volumeFault);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().VolumeSupportsLinks(name, supported);
}

bool FaultPlanPlatform::ResolveLink(TextView name, Text& target) {
  CountingAllocations::Pause pause;
  Decision decision = Enter(CallKind::Query, "ResolveLink", name);
  if (decision.action != Action::Pass) return Refuse(decision.error, false);
  return Inner().ResolveLink(name, target);
}

}  // namespace hq2hd::testing
