#include "report/UnhandledFailure.h"

#include <string>

#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/IoFailure.h"
#include "report/MessageFormat.h"

namespace hq2hd {

using namespace platform;

namespace {

Text ModuleName() {
  Text full = Os().ModuleFileName();
  std::size_t cut = full.find_last_of(u"\\/");
  return cut == Text::npos ? full : full.substr(cut + 1);
}

void WriteToStandardError(TextView text) {
  Handle error = Os().StdHandle(StdStream::Error);
  const int units = static_cast<int>(text.size());
  std::uint32_t oem = Os().OemCodePage();
  int needed = Os().WideCharToMultiByte(oem, 0, text.data(), units, nullptr, 0);
  std::string bytes(needed > 0 ? static_cast<std::size_t>(needed) : 0, '\0');
  if (needed > 0) Os().WideCharToMultiByte(oem, 0, text.data(), units, bytes.data(), needed);
  bytes += "\r\n";
  std::uint32_t done = 0;
  Os().WriteFile(error, bytes.data(), static_cast<std::uint32_t>(bytes.size()), done);
}

}  // namespace

int ReportUnhandledFailure(const char* className, TextView message) {
  try {
    if (std::int32_t code = ConsoleOut::Instance().Flush(); code != 0) IoStatus::Set(code);
    CheckIo();
  } catch (...) {
    // The report goes on: its own output is the standard error.
  }
  // The failure's address is only a diagnostic; there is none to show here.
  Text pattern(catalogue::UnhandledFailure);
  pattern.replace(pattern.find(u"%p"), 2, u"00000000");
  bool needsPeriod = !message.empty() && message.back() != u'.';
  Text report = FormatMessageText(
      pattern, {AsciiText(className), ModuleName(), message, needsPeriod ? u"." : u""});
  WriteToStandardError(report);
  return 1;
}

}  // namespace hq2hd
