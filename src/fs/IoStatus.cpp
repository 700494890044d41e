#include "fs/IoStatus.h"

#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/MessageFormat.h"

namespace hq2hd {
namespace {
thread_local std::int32_t pendingCode = 0;
}

std::int32_t IoStatus::Peek() { return pendingCode; }
void IoStatus::Set(std::int32_t code) { pendingCode = code; }
std::int32_t IoStatus::Take() {
  std::int32_t code = pendingCode;
  pendingCode = 0;
  return code;
}

Text IoFailureMessage(std::int32_t code) {
  switch (code) {
    case 2:
      return Text(catalogue::FileNotFound);
    case 3:
      return Text(catalogue::InvalidFileName);
    case 4:
      return Text(catalogue::TooManyOpenFiles);
    case 5:
      return Text(catalogue::FileAccessDenied);
    case 100:
      return Text(catalogue::ReadBeyondEnd);
    case 101:
      return Text(catalogue::DiskFull);
    case 106:
      return Text(catalogue::NotANumber);
    default:
      return FormatMessageText(catalogue::IoErrorWithCode, {code});
  }
}

void CheckIo() {
  if (IoStatus::Peek() == 0) return;
  std::int32_t code = IoStatus::Take();
  throw EInOutError(IoFailureMessage(code), code);
}

}  // namespace hq2hd
