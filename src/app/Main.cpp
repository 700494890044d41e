// hq2hd: rewrites the hq lines of the host's work file JWC_TEMP.TXT, which
// lies beside the executable, to hd. Hosts start it without arguments.
#include <new>

#include "MyFunc/LowerCase.h"
#include "app/CommandLine.h"
#include "app/RunDriver.h"
#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"
#include "report/RuntimeError.h"
#include "report/UnhandledFailure.h"

int main(int argc, char** argv) {
  using namespace hq2hd;
  InstallRuntimeErrorHandler();
  int exitCode = 0;
  try {
    if (!AnswerTypedQuestion(argc, argv)) {
      LowerCaseLocale();
      RunDriver();
    }
  } catch (const Exception& failure) {
    exitCode = ReportUnhandledFailure(failure.ClassName(), failure.Message());
  } catch (const std::bad_alloc&) {
    exitCode = ReportUnhandledFailure("EOutOfMemory", catalogue::OutOfMemory);
  } catch (...) {
    // Not one of ours: it has no class name or message of the program's own.
    exitCode = ReportUnhandledFailure("EExternalException", u"");
  }
  ConsoleOut::Instance().CloseAtExit();
  return exitCode;
}
