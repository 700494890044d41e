#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "codec/ByteForm.h"
#include "codec/TextFile.h"
#include "platform/FullPathText.h"
#include "platform/UniqueHandle.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/IoFailure.h"
#include "report/MessageFormat.h"
#include "report/OsMessage.h"

namespace hq2hd {

using namespace platform;

namespace {

[[noreturn]] void RaiseReadFailure(std::int32_t code, TextView message) {
  throw EInOutError(Text(message), code);
}

}  // namespace

void LoadLines(LineList& list, TextView path) {
  UniqueHandle file(
      Os().CreateFile(path, GenericRead, FileShareRead, OpenExisting, FileAttributeNormal));
  if (!file) {
    Text fullName = FullPathText(path);
    Text reason = OsMessage(Os().LastError());
    throw EFOpenError(FormatMessageText(catalogue::CannotOpenFile, {fullName, reason}));
  }
  std::uint64_t size = 0;
  if (!Os().FileSize(file.Get(), size)) {
    auto code = static_cast<std::int32_t>(Os().LastError());
    RaiseReadFailure(code, IoFailureMessage(code));
  }
  // Counts are signed 32-bit: a larger file is refused, never cut short.
  if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    RaiseReadFailure(0, catalogue::FileTooLarge);

  const auto count = static_cast<std::uint32_t>(size);
  ByteBuffer buffer{std::make_unique_for_overwrite<char[]>(count == 0 ? 1 : count), count};
  std::uint32_t done = 0;
  if (!Os().ReadFile(file.Get(), buffer.data.get(), count, done)) {
    auto code = static_cast<std::int32_t>(Os().LastError());
    RaiseReadFailure(code, IoFailureMessage(code));
  }
  if (done != count) RaiseReadFailure(iocode::ReadShort, catalogue::ReadBeyondEnd);
  file.Close();

  std::string_view bytes = buffer.View();
  DetectedMark mark = DetectMark(bytes);
  const Encoding& encoding = mark.encoding != nullptr ? *mark.encoding : list.DefaultEncoding();
  list.SetDetectedEncoding(encoding);
  const std::string_view body = bytes.substr(mark.length);
  switch (FitsByteForm(encoding, body)) {
    case ByteFormFit::AfterCp932Rewrite:
      RewriteCp932Codes(buffer.data.get() + mark.length, body.size());
      [[fallthrough]];
    case ByteFormFit::AsItIs:
      list.SetBytes(std::move(buffer), mark.length, encoding);
      return;
    case ByteFormFit::No:
      break;
  }
  Text text = encoding.Decode(body);
  buffer = ByteBuffer();
  list.SetText(std::move(text));
}

}  // namespace hq2hd
