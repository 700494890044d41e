#include "report/IoFailure.h"

#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/MessageFormat.h"

namespace hq2hd {

Text IoFailureMessage(std::int32_t code) {
  switch (code) {
    case platform::error::FileNotFound:
      return Text(catalogue::FileNotFound);
    case platform::error::PathNotFound:
      return Text(catalogue::InvalidFileName);
    case platform::error::TooManyOpenFiles:
      return Text(catalogue::TooManyOpenFiles);
    case platform::error::AccessDenied:
      return Text(catalogue::FileAccessDenied);
    case iocode::ReadShort:
      return Text(catalogue::ReadBeyondEnd);
    case iocode::WriteShort:
      return Text(catalogue::DiskFull);
    case 106:
      return Text(catalogue::NotANumber);
    default:
      return FormatMessageText(catalogue::IoErrorWithCode, {code});
  }
}

void RaiseIoFailure(std::int32_t code) { throw EInOutError(IoFailureMessage(code), code); }

}  // namespace hq2hd
