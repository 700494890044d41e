#include "fault/AnomalyRun.h"

#include <filesystem>
#include <set>
#include <sstream>

#include "MyFunc/LowerCase.h"
#include "app/RunDriver.h"
#include "codec/Encoding.h"
#include "platform/IoStatus.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"
#include "support/CountingAllocations.h"

namespace hq2hd::testing {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const Text& leaf) { return fs::path(leaf).string(); }

std::string Shown(const std::optional<std::string>& bytes) {
  if (!bytes) return "(absent)";
  std::ostringstream text;
  text << bytes->size() << " bytes:";
  const std::size_t shown = std::min<std::size_t>(bytes->size(), 48);
  for (std::size_t i = 0; i < shown; ++i) {
    static const char hex[] = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned char>((*bytes)[i]);
    text << ' ' << hex[byte >> 4] << hex[byte & 15];
  }
  if (shown < bytes->size()) text << " ...";
  return text.str();
}

bool HoldsData(const std::optional<std::string>& bytes, const WorkFileCase& workFile) {
  return bytes && (*bytes == workFile.hostBytes || *bytes == workFile.expectedBytes);
}

}  // namespace

AnomalyRunner::AnomalyRunner()
    : folder_(dir_.Name("")),
      files_(platform::NativePlatform()),
      platform_(files_),
      scope_(platform_) {
  platform_.moduleFileName = dir_.Name("hq2hd.exe");
  files_.MakeFolders(folder_);
}

void AnomalyRunner::ClearFolder() {
  for (const auto& entry : fs::directory_iterator(dir_.Path())) fs::remove_all(entry.path());
  files_.Clear();
  files_.MakeFolders(folder_);
  onDisk_ = true;
}

// What the test arranged on the disk, in memory: files, folders and links.
void AnomalyRunner::LoadFromDisk() {
  files_.Clear();
  files_.MakeFolders(folder_);
  for (const auto& entry : fs::recursive_directory_iterator(dir_.Path())) {
    const Text name = ToText(entry.path());
    if (entry.is_symlink())
      files_.PutLink(name, ToText(fs::read_symlink(entry.path())));
    else if (entry.is_directory())
      files_.MakeFolders(name);
    else
      files_.PutFile(name, ReadBytes(entry.path()),
                     (entry.status().permissions() & fs::perms::owner_write) == fs::perms::none);
  }
}

// What the run left in memory, on the disk, for the test to check there.
void AnomalyRunner::SaveToDisk() const {
  for (const auto& entry : fs::directory_iterator(dir_.Path())) fs::remove_all(entry.path());
  const auto save = [&](const auto& self, const Text& folder, const fs::path& path) -> void {
    for (const MemoryFileSystem::Listed& listed : files_.List(folder)) {
      const fs::path at = path / fs::path(listed.leaf);
      switch (listed.kind) {
        case MemoryFileSystem::Listed::Kind::Link:
          fs::create_symlink(fs::path(listed.target), at);
          break;
        case MemoryFileSystem::Listed::Kind::Folder:
          fs::create_directory(at);
          self(self, folder + u'/' + listed.leaf, at);
          break;
        case MemoryFileSystem::Listed::Kind::File:
          WriteBytes(at, listed.bytes);
          break;
      }
    }
  };
  save(save, folder_, dir_.Path());
}

std::string AnomalyRunner::FolderState() const {
  std::set<std::string> entries;
  for (const MemoryFileSystem::Listed& listed : files_.List(folder_)) {
    std::string state = Utf8(listed.leaf) + '\0';
    if (listed.kind == MemoryFileSystem::Listed::Kind::Link)
      state += "link to " + Utf8(listed.target);
    else if (listed.kind == MemoryFileSystem::Listed::Kind::File)
      state += listed.bytes;
    else
      state += "folder";
    entries.insert(std::move(state));
  }
  std::string folder;
  for (const std::string& state : entries) folder += std::to_string(state.size()) + ':' + state;
  return folder;
}

RunOutcome AnomalyRunner::Run(const WorkFileCase& workFile,
                              const std::function<void(CountingPlatform&)>& plan,
                              std::int64_t failAllocation) {
  onDisk_ = false;
  files_.Clear();
  files_.MakeFolders(folder_);
  files_.PutFile(folder_ + u"JWC_TEMP.TXT", workFile.hostBytes);
  return RunAsIs(plan, failAllocation);
}

RunOutcome AnomalyRunner::RunAsIs(const std::function<void(CountingPlatform&)>& plan,
                                  std::int64_t failAllocation) {
  ConsoleOut::Instance().Reset();
  IoStatus::Take();
  platform_.Reset();
  plan(platform_);
  if (onDisk_) LoadFromDisk();

  RunOutcome outcome;
  CountingAllocations::Start(failAllocation);
  try {
    RunDriver();
    ConsoleOut::Instance().CloseAtExit();
    outcome.allocations = CountingAllocations::Stop();
  } catch (const Exception& failure) {
    outcome.allocations = CountingAllocations::Stop();
    outcome.escaped = failure.ClassName();
  } catch (const std::bad_alloc&) {
    outcome.allocations = CountingAllocations::Stop();
    outcome.escaped = "std::bad_alloc";
  }
  outcome.allocationFailed = CountingAllocations::Failed();
  platform_.ApplyPowerLoss();
  outcome.calls = platform_.Calls();
  outcome.handlesLeftOpen = platform_.HandlesLeftOpen();
  outcome.stdoutBytes = platform_.stdoutBytes;
  outcome.workBytes = files_.FileBytes(folder_ + u"JWC_TEMP.TXT");
  outcome.scratchBytes = files_.FileBytes(folder_ + u"TEMP.TXT");
  outcome.newWorkFileLeft = files_.Exists(folder_ + u"HQ2HD.NEW");
  if (onDisk_) SaveToDisk();
  return outcome;
}

std::string AnomalyRunner::Evidence(const RunOutcome& outcome) const {
  std::ostringstream text;
  text << "calls of the run:\n" << platform_.TraceText();
  text << "work file JWC_TEMP.TXT: " << Shown(outcome.workBytes) << "\n";
  text << "scratch copy TEMP.TXT: " << Shown(outcome.scratchBytes) << "\n";
  text << "folder:";
  for (const MemoryFileSystem::Listed& listed : files_.List(folder_))
    text << " " << Utf8(listed.leaf);
  text << "\nstandard output: " << Shown(outcome.stdoutBytes) << "\n";
  return text.str();
}

std::string ReportLineProblem(const std::string& stdoutBytes) {
  if (stdoutBytes.empty()) return {};
  const std::size_t colon = stdoutBytes.find(": ");
  if (stdoutBytes[0] != 'E' || colon == std::string::npos)
    return "output is not a 'ClassName: message' line";
  const std::string className = stdoutBytes.substr(0, colon);
  for (char letter : className)
    if (!std::isalpha(static_cast<unsigned char>(letter)))
      return "class name holds a character that is not a letter";
  if (!stdoutBytes.ends_with("\r\n")) return "report line does not end in CR LF";
  // The message of EOSError is its code, CR LF, and the system's text for it.
  std::size_t lineEnds = 0;
  for (std::size_t at = stdoutBytes.find("\r\n"); at != std::string::npos;
       at = stdoutBytes.find("\r\n", at + 2))
    ++lineEnds;
  const std::size_t allowed = className == "EOSError" ? 2 : 1;
  if (lineEnds > allowed) return "output holds more than one report";
  return {};
}

std::string SingleFaultBreach(const WorkFileCase& workFile, const RunOutcome& outcome) {
  if (!outcome.escaped.empty()) return "a failure left the run: " + outcome.escaped;
  if (!HoldsData(outcome.workBytes, workFile))
    return "the work file holds neither the host's bytes nor the expected ones";
  if (outcome.handlesLeftOpen != 0)
    return std::to_string(outcome.handlesLeftOpen) + " handle(s) left open";
  if (std::string problem = ReportLineProblem(outcome.stdoutBytes); !problem.empty())
    return problem;
  return SilenceProblem(workFile, outcome);
}

std::string SilenceProblem(const WorkFileCase& workFile, const RunOutcome& outcome) {
  // Silence tells the host that its work file was rewritten.
  const bool rewritten =
      outcome.workBytes && *outcome.workBytes == workFile.expectedBytes && workFile.report.empty();
  if (rewritten || !outcome.stdoutBytes.empty()) return {};
  return "the work file was not rewritten, and nothing was reported";
}

std::string SurvivalBreach(const WorkFileCase& workFile, const RunOutcome& outcome) {
  if (!outcome.escaped.empty()) return "a failure left the run: " + outcome.escaped;
  if (!HoldsData(outcome.workBytes, workFile) && !HoldsData(outcome.scratchBytes, workFile))
    return "neither the work file nor the scratch copy holds the host's or the expected bytes";
  return {};
}

std::string ReportLineBytes(const std::u16string& line) {
  auto& os = platform::NativePlatform();
  const int count = static_cast<int>(line.size());
  const int needed = os.WideCharToMultiByte(932, 0, line.data(), count, nullptr, 0);
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  os.WideCharToMultiByte(932, 0, line.data(), count, bytes.data(), needed);
  return bytes + "\r\n";
}

void WarmUpProcessState() {
  LowerCaseLocale();
  AnsiEncoding();
  Utf8Encoding();
  Utf16LeEncoding();
  Utf16BeEncoding();
  // A run with a report and a run that lower-cases create what those paths
  // keep for the rest of the process.
  AnomalyRunner runner;
  for (const WorkFileCase& workFile : WorkFileCases()) runner.Run(workFile, [](auto&) {});
  runner.Files().Remove(runner.Folder().Name("JWC_TEMP.TXT"));
  RunDriver();
  ConsoleOut::Instance().CloseAtExit();
  ConsoleOut::Instance().Reset();
  IoStatus::Take();
}

}  // namespace hq2hd::testing
