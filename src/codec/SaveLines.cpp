#include <limits>
#include <string>

#include "codec/ByteForm.h"
#include "codec/TextFile.h"
#include "platform/FullPathText.h"
#include "platform/UniqueHandle.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/MessageFormat.h"
#include "report/OsMessage.h"

namespace hq2hd {

using namespace platform;

namespace {

// One request for all the bytes; what falls short is asked for again from
// behind what was written, and a repeat that writes nothing or fails raises.
void WriteAll(Handle file, std::string_view bytes) {
  std::uint32_t done = 0;
  const auto total = static_cast<std::uint32_t>(bytes.size());
  bool ok = Os().WriteFile(file, bytes.data(), total, done);
  std::uint32_t written = ok ? done : 0;
  while (!ok || written < total) {
    ok = Os().WriteFile(file, bytes.data() + written, total - written, done);
    if (!ok || done == 0) throw EWriteError(Text(catalogue::StreamWriteError));
    written += done;
  }
}

Text JoinLines(const LineList& list) {
  std::uint64_t length = 0;
  for (TextView line : list.Lines()) length += line.size() + 2;
  if (length > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  Text joined;
  joined.reserve(static_cast<std::size_t>(length));
  for (TextView line : list.Lines()) {
    joined += line;
    joined += u"\r\n";
  }
  return joined;
}

void Save(const LineList& list, TextView path, const Encoding* explicitEncoding) {
  UniqueHandle file(
      Os().CreateFile(path, GenericRead | GenericWrite, 0, CreateAlways, FileAttributeNormal));
  if (!file) {
    Text fullName = FullPathText(path);
    Text reason = OsMessage(Os().LastError());
    throw EFCreateError(FormatMessageText(catalogue::CannotCreateFile, {fullName, reason}));
  }
  const Encoding& encoding = explicitEncoding != nullptr          ? *explicitEncoding
                             : list.DetectedEncoding() != nullptr ? *list.DetectedEncoding()
                                                                  : list.DefaultEncoding();
  std::string bytes;
  if (!list.IsByteForm()) {
    bytes = encoding.Encode(JoinLines(list));
  } else if (WritesByteFormAs(list.ByteEncoding(), encoding)) {
    bytes = EncodeByteForm(list);
  } else {
    bytes = encoding.Encode(JoinLines(list.DecodedCopy()));
  }
  if (list.WritesPreamble() && !encoding.Preamble().empty())
    WriteAll(file.Get(), encoding.Preamble());
  WriteAll(file.Get(), bytes);
  // The scratch copy is deleted once this returns: the new bytes must be on
  // the disk by then. A flush that fails is a failed write.
  if (!Os().FlushFileBuffers(file.Get())) throw EWriteError(Text(catalogue::StreamWriteError));
  // A close that fails may have lost buffered data: the file is not whole.
  if (!file.Close()) throw EWriteError(Text(catalogue::StreamWriteError));
}

}  // namespace

void SaveLines(const LineList& list, TextView path) { Save(list, path, nullptr); }

void SaveLines(const LineList& list, TextView path, const Encoding& encoding) {
  Save(list, path, &encoding);
}

}  // namespace hq2hd
