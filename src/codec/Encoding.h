#pragma once
// The four encodings a work file can be read in. Each exists once per
// process, made at its first use; the pass refers to them, so "is this the
// UTF-8 encoding" is a test of identity.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Text.h"

namespace hq2hd {

enum class EncodingKind { Ansi, Utf8, Utf16Le, Utf16Be };

class Encoding {
 public:
  Encoding(EncodingKind kind, std::uint32_t codePage);
  Encoding(const Encoding&) = delete;
  Encoding& operator=(const Encoding&) = delete;

  EncodingKind Kind() const { return kind_; }
  std::uint32_t CodePage() const { return codePage_; }
  // The byte-order mark written ahead of the text; empty for most ANSI code pages.
  std::string_view Preamble() const { return preamble_; }

  // The text's bytes in this encoding into `bytes`, with one call and no measuring: `capacity`
  // must hold MaxBytesPerUnit bytes for each unit. Returns the bytes written;
  // raises EEncodingError when the platform converts nothing.
  std::size_t EncodeInto(TextView text, char* bytes, std::size_t capacity) const;
  // No code page an ANSI encoding can have writes more for one UTF-16 unit
  // (UTF-8: three for a unit of the basic plane, four for a pair).
  static constexpr std::size_t MaxBytesPerUnit = 3;

 private:
  EncodingKind kind_;
  std::uint32_t codePage_;
  std::string preamble_;
};

// The byte-order mark a file begins with and its encoding; no encoding and
// length 0 when there is none. Asks for the UTF-8 and both UTF-16 encodings,
// in that order, whatever the bytes.
struct DetectedMark {
  const Encoding* encoding;
  std::size_t length;
};
DetectedMark DetectMark(std::string_view firstBytes);

// What a rewritten file is written in, decided here alone: UTF-8 with its
// mark stays UTF-8 with its mark, everything else goes to the ANSI code page.
const Encoding& WrittenEncoding(const Encoding& read);

// Each raises EEncodingError when the platform knows nothing of the code page.
const Encoding& AnsiEncoding();
const Encoding& Utf8Encoding();
const Encoding& Utf16LeEncoding();
const Encoding& Utf16BeEncoding();

}  // namespace hq2hd
