#include "report/OsMessage.h"

#include "platform/FullPathText.h"
#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/MessageFormat.h"

namespace hq2hd {

Text OsMessage(std::uint32_t code) {
  Text text = platform::Os().SystemMessage(code);
  std::size_t n = text.size();
  // Only the ASCII period counts: a Japanese message keeps its final U+3002.
  while (n > 0 && (text[n - 1] <= 0x20 || text[n - 1] == u'.')) --n;
  text.resize(n);
  return text;
}

void RaiseLastOsError() {
  std::uint32_t code = platform::Os().LastError();
  auto signedCode = static_cast<std::int32_t>(code);
  if (code == 0) throw EOSError(Text(catalogue::OsCallFailed), 0);
  Text message = OsMessage(code);
  throw EOSError(
      FormatMessageText(catalogue::SystemErrorWithCode, {signedCode, message, TextView()}),
      signedCode);
}

void RaiseCannotCreate(TextView path, std::uint32_t code) {
  Text fullName = platform::FullPathText(path);
  Text reason = OsMessage(code);
  throw EFCreateError(FormatMessageText(catalogue::CannotCreateFile, {fullName, reason}));
}

}  // namespace hq2hd
