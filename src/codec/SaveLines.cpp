#include <limits>
#include <string>

#include "codec/ByteForm.h"
#include "codec/TextFile.h"
#include "platform/UniqueHandle.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {

using namespace platform;

namespace {

// Bounded pieces: the output never needs a second buffer the size of the file.
constexpr std::size_t BodyPieceSize = std::size_t{1} << 20;

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

void WritePreamble(Handle file, const LineList& list, const Encoding& encoding) {
  if (list.WritesPreamble() && !encoding.Preamble().empty()) WriteAll(file, encoding.Preamble());
}

// A byte-form list is written straight from its body, in pieces, as one pass
// finds its lines. What the text path measures first, this measures first too
// where it could matter: a body whose output might pass the signed 32-bit
// counts is measured before anything is written.
void WriteBytes(Handle file, const LineList& list, const Encoding& encoding) {
  const std::string_view body = list.ByteBody();
  const ByteLineRule* rule = list.ByteRule();
  // Every line grows by at most its break: at most twice the body, plus CR LF.
  constexpr std::uint64_t limit = std::numeric_limits<std::int32_t>::max();
  if (2 * static_cast<std::uint64_t>(body.size()) + 2 > limit &&
      ByteFormOutputSize(body, rule) > limit)
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  WritePreamble(file, list, encoding);
  WriteByteForm(body, rule, BodyPieceSize,
                [file](std::string_view piece) { WriteAll(file, piece); });
}

void Save(const LineList& list, TextView path, const Encoding* explicitEncoding) {
  UniqueHandle file(
      Os().CreateFile(path, GenericRead | GenericWrite, 0, CreateAlways, FileAttributeNormal));
  if (!file) RaiseCannotCreate(path, Os().LastError());
  const Encoding& encoding = explicitEncoding != nullptr          ? *explicitEncoding
                             : list.DetectedEncoding() != nullptr ? *list.DetectedEncoding()
                                                                  : list.DefaultEncoding();
  if (list.IsByteForm() && &list.ByteEncoding() == &encoding) {
    WriteBytes(file.Get(), list, encoding);
  } else {
    const std::string bytes =
        encoding.Encode(list.IsByteForm() ? JoinLines(list.DecodedCopy()) : JoinLines(list));
    WritePreamble(file.Get(), list, encoding);
    WriteAll(file.Get(), bytes);
  }
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
