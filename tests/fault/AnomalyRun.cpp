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

std::optional<std::string> BytesIfFile(const std::filesystem::path& path) {
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) return {};
  return ReadBytes(path);
}

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

AnomalyRunner::AnomalyRunner() : scope_(platform_) {
  platform_.moduleFileName = dir_.Name("hq2hd.exe");
}

void AnomalyRunner::ClearFolder() {
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    std::filesystem::remove_all(entry.path());
}

std::string AnomalyRunner::FolderState() const {
  std::set<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    std::string state = entry.path().filename().string() + '\0';
    if (entry.is_symlink())
      state += "link to " + std::filesystem::read_symlink(entry.path()).string();
    else if (entry.is_regular_file())
      state += ReadBytes(entry.path());
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
  ClearFolder();
  WriteBytes(dir_.Path() / "JWC_TEMP.TXT", workFile.hostBytes);
  return RunAsIs(plan, failAllocation);
}

RunOutcome AnomalyRunner::RunAsIs(const std::function<void(CountingPlatform&)>& plan,
                                  std::int64_t failAllocation) {
  ConsoleOut::Instance().Reset();
  IoStatus::Take();
  platform_.Reset();
  plan(platform_);

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
  outcome.workBytes = BytesIfFile(dir_.Path() / "JWC_TEMP.TXT");
  outcome.scratchBytes = BytesIfFile(dir_.Path() / "TEMP.TXT");
  outcome.newWorkFileLeft =
      std::filesystem::exists(std::filesystem::symlink_status(dir_.Path() / "HQ2HD.NEW"));
  return outcome;
}

std::string AnomalyRunner::Evidence(const RunOutcome& outcome) const {
  std::ostringstream text;
  text << "calls of the run:\n" << platform_.TraceText();
  text << "work file JWC_TEMP.TXT: " << Shown(outcome.workBytes) << "\n";
  text << "scratch copy TEMP.TXT: " << Shown(outcome.scratchBytes) << "\n";
  text << "folder:";
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    text << " " << entry.path().filename().string();
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
  std::filesystem::remove(runner.Folder().Path() / "JWC_TEMP.TXT");
  RunDriver();
  ConsoleOut::Instance().CloseAtExit();
  ConsoleOut::Instance().Reset();
  IoStatus::Take();
}

}  // namespace hq2hd::testing
