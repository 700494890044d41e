#pragma once
// The four encodings a work file can be read in. Each exists once per
// process, made at its first use; line lists refer to them, so "is this the
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

  // Raises EEncodingError when a strict decoding meets bytes it cannot take.
  Text Decode(std::string_view bytes) const;
  // Raises EEncodingError when the platform measures nothing for a non-empty text.
  std::string Encode(TextView text) const;

 private:
  EncodingKind kind_;
  std::uint32_t codePage_;
  std::string preamble_;
};

// Each raises EEncodingError when the platform knows nothing of the code page.
const Encoding& AnsiEncoding();
const Encoding& Utf8Encoding();
const Encoding& Utf16LeEncoding();
const Encoding& Utf16BeEncoding();

}  // namespace hq2hd
