#include "codec/Encoding.h"

#include <algorithm>
#include <limits>

#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"

namespace hq2hd {

using namespace platform;

namespace {

std::string PreambleOf(EncodingKind kind, std::uint32_t codePage) {
  if (kind == EncodingKind::Utf8 || codePage == CodePageUtf8) return "\xEF\xBB\xBF";
  if (codePage == CodePageUtf16Le) return "\xFF\xFE";
  if (codePage == CodePageUtf16Be) return "\xFE\xFF";
  return {};
}

Encoding CheckedCodePageEncoding(EncodingKind kind, std::uint32_t codePage) {
  if (!Os().CodePageInfo(codePage)) throw EEncodingError(Text(catalogue::InvalidCodePage));
  return Encoding(kind, codePage);
}

}  // namespace

Encoding::Encoding(EncodingKind kind, std::uint32_t codePage)
    : kind_(kind), codePage_(codePage), preamble_(PreambleOf(kind, codePage)) {}

std::size_t Encoding::EncodeInto(TextView text, char* bytes, std::size_t capacity) const {
  if (text.empty()) return 0;
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) / MaxBytesPerUnit)
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  const int room = static_cast<int>(std::min(capacity, text.size() * MaxBytesPerUnit));
  const int written = Os().WideCharToMultiByte(codePage_, 0, text.data(),
                                               static_cast<int>(text.size()), bytes, room);
  if (written <= 0) throw EEncodingError(Text(catalogue::InvalidSourceArray));
  return static_cast<std::size_t>(written);
}

DetectedMark DetectMark(std::string_view firstBytes) {
  // Each candidate is made even when an earlier one already matched nothing,
  // so a file without a mark brings all three into being.
  for (const Encoding* candidate : {&Utf8Encoding(), &Utf16LeEncoding(), &Utf16BeEncoding()}) {
    if (firstBytes.starts_with(candidate->Preamble()))
      return {candidate, candidate->Preamble().size()};
  }
  return {nullptr, 0};
}

const Encoding& WrittenEncoding(const Encoding& read) {
  return &read == &Utf8Encoding() ? read : AnsiEncoding();
}

const Encoding& AnsiEncoding() {
  static const Encoding encoding = CheckedCodePageEncoding(EncodingKind::Ansi, Os().AnsiCodePage());
  return encoding;
}

const Encoding& Utf8Encoding() {
  static const Encoding encoding = CheckedCodePageEncoding(EncodingKind::Utf8, CodePageUtf8);
  return encoding;
}

const Encoding& Utf16LeEncoding() {
  static const Encoding encoding(EncodingKind::Utf16Le, CodePageUtf16Le);
  return encoding;
}

const Encoding& Utf16BeEncoding() {
  static const Encoding encoding(EncodingKind::Utf16Be, CodePageUtf16Be);
  return encoding;
}

}  // namespace hq2hd
