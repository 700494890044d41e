#include "report/RuntimeError.h"

#include <cstdlib>
#include <exception>

#include "platform/Platform.h"
#include "report/ConsoleOut.h"

namespace hq2hd {

std::string RuntimeErrorReport(int errorNumber, std::uint32_t address) {
  std::string report = "Runtime error     at 00000000";
  for (int place = 16, n = errorNumber; n > 0 && place >= 14; --place, n /= 10)
    report[static_cast<std::size_t>(place)] = static_cast<char>('0' + n % 10);
  static constexpr char hex[] = "0123456789ABCDEF";
  for (int place = 28; address != 0 && place >= 21; --place, address >>= 4)
    report[static_cast<std::size_t>(place)] = hex[address & 0xF];
  return report;
}

void EndWithRuntimeError(int errorNumber) {
  ConsoleOut::Instance().Flush();
  std::string bytes = RuntimeErrorReport(errorNumber, 0) + "\r\n";
  std::uint32_t done = 0;
  auto& os = platform::Os();
  os.WriteFile(os.StdHandle(platform::StdStream::Output), bytes.data(),
               static_cast<std::uint32_t>(bytes.size()), done);
  std::_Exit(errorNumber);
}

void InstallRuntimeErrorHandler() {
  std::set_terminate([] { EndWithRuntimeError(217); });
}

}  // namespace hq2hd
