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

Text DecodeUtf16(std::string_view bytes, bool bigEndian) {
  // A last odd byte has no partner and is left out.
  Text text(bytes.size() / 2, u'\0');
  for (std::size_t k = 0; k < text.size(); ++k) {
    auto first = static_cast<unsigned char>(bytes[2 * k]);
    auto second = static_cast<unsigned char>(bytes[2 * k + 1]);
    text[k] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return text;
}

std::string EncodeUtf16(TextView text, bool bigEndian) {
  std::string bytes(text.size() * 2, '\0');
  for (std::size_t k = 0; k < text.size(); ++k) {
    char high = static_cast<char>(text[k] >> 8), low = static_cast<char>(text[k] & 0xFF);
    bytes[2 * k] = bigEndian ? high : low;
    bytes[2 * k + 1] = bigEndian ? low : high;
  }
  return bytes;
}

Encoding CheckedCodePageEncoding(EncodingKind kind, std::uint32_t codePage) {
  if (!Os().CodePageInfo(codePage)) throw EEncodingError(Text(catalogue::InvalidCodePage));
  return Encoding(kind, codePage);
}

}  // namespace

Encoding::Encoding(EncodingKind kind, std::uint32_t codePage)
    : kind_(kind), codePage_(codePage), preamble_(PreambleOf(kind, codePage)) {}

Text Encoding::Decode(std::string_view bytes) const {
  if (bytes.empty()) return Text();
  if (kind_ == EncodingKind::Utf16Le) return DecodeUtf16(bytes, false);
  if (kind_ == EncodingKind::Utf16Be) return DecodeUtf16(bytes, true);
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  const std::uint32_t flags = kind_ == EncodingKind::Utf8 ? MbErrInvalidChars : 0;
  const int count = static_cast<int>(bytes.size());
  // Only the strict UTF-8 decoding refuses bytes; the file's text would
  // otherwise be lost. The lenient one fails only when the platform does.
  const TextView failure =
      kind_ == EncodingKind::Utf8 ? catalogue::InvalidUtf8Body : catalogue::InvalidSourceArray;
  int units = Os().MultiByteToWideChar(codePage_, flags, bytes.data(), count, nullptr, 0);
  if (units <= 0) throw EEncodingError(Text(failure));
  Text text(static_cast<std::size_t>(units), u'\0');
  int written = Os().MultiByteToWideChar(codePage_, flags, bytes.data(), count, text.data(), units);
  if (written != units) throw EEncodingError(Text(failure));
  return text;
}

std::string Encoding::Encode(TextView text) const {
  if (text.empty()) return std::string();
  if (kind_ == EncodingKind::Utf16Le) return EncodeUtf16(text, false);
  if (kind_ == EncodingKind::Utf16Be) return EncodeUtf16(text, true);
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  const int count = static_cast<int>(text.size());
  int bytes = Os().WideCharToMultiByte(codePage_, 0, text.data(), count, nullptr, 0);
  if (bytes <= 0) throw EEncodingError(Text(catalogue::InvalidSourceArray));
  std::string encoded(static_cast<std::size_t>(bytes), '\0');
  int written = Os().WideCharToMultiByte(codePage_, 0, text.data(), count, encoded.data(), bytes);
  if (written != bytes) throw EEncodingError(Text(catalogue::InvalidSourceArray));
  return encoded;
}

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
