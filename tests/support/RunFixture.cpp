#include "support/RunFixture.h"

#include "app/RunDriver.h"
#include "platform/IoStatus.h"
#include "report/ConsoleOut.h"

namespace hq2hd::testing {

RunFixture::RunFixture() : scope_(platform_) {
  platform_.moduleFileName = dir_.Name("hq2hd.exe");
  ConsoleOut::Instance().Reset();
  IoStatus::Take();
}

RunFixture::~RunFixture() {
  ConsoleOut::Instance().Reset();
  IoStatus::Take();
}

void RunFixture::Run() {
  RunDriver();
  ConsoleOut::Instance().CloseAtExit();
}

std::set<std::string> RunFixture::Listing() const {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    names.insert(entry.path().filename().string());
  return names;
}

std::string RunFixture::ReportBytes(const std::u16string& line) {
  auto& os = platform::NativePlatform();
  int count = static_cast<int>(line.size());
  int needed =
      os.WideCharToMultiByte(platform::CodePageShiftJis, 0, line.data(), count, nullptr, 0);
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  os.WideCharToMultiByte(platform::CodePageShiftJis, 0, line.data(), count, bytes.data(), needed);
  return bytes + "\r\n";
}

}  // namespace hq2hd::testing
