// hq2hd: rewrites the hq lines of the host's work file JWC_TEMP.TXT, which
// lies beside the executable, to hd. It takes no arguments.
#include <new>

#include "MyFunc/LowerCase.h"
#include "app/RunDriver.h"
#include "report/Catalogue.h"
#include "report/ConsoleOut.h"
#include "report/Exception.h"
#include "report/RuntimeError.h"
#include "report/UnhandledFailure.h"

int main() {
  using namespace hq2hd;
  InstallRuntimeErrorHandler();
  int exitCode = 0;
  try {
    LowerCaseLocale();
    RunDriver();
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
