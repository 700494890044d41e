#include "app/CommandLine.h"

#include <string_view>

#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/MessageFormat.h"

namespace hq2hd {

namespace {

#ifdef _WIN32
constexpr bool WindowsConventions = true;
#else
constexpr bool WindowsConventions = false;
#endif

// From project() in the top CMakeLists.txt.
constexpr TextView ProgramVersion = u"" HQ2HD_VERSION;

void WriteLine(TextView line) {
  ConsoleOut& out = ConsoleOut::Instance();
  out.WriteText(line);
  out.WriteLineEnd();
}

}  // namespace

bool AnswerTypedQuestion(int argc, const char* const* argv) {
  if (argc != 2 || argv[1] == nullptr) return false;
  const std::string_view argument = argv[1];
  if (argument == "--version") {
    WriteLine(FormatMessageText(catalogue::VersionLine, {ProgramVersion}));
    return true;
  }
  if (argument == "--help" || (WindowsConventions && argument == "/?")) {
    WriteLine(catalogue::Usage);
    return true;
  }
  return false;
}

}  // namespace hq2hd
