#pragma once
// Work files kept as their own bytes (see LineList): which bodies may stay
// bytes, and the one pass that applies a line rule to them and writes them.
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "codec/Encoding.h"

namespace hq2hd {

// Which lines of a byte-form list are written as another line: those that
// `matches` accepts become `replacement`, which is ASCII and so the same bytes
// in every encoding a byte form holds.
struct ByteLineRule {
  bool (*matches)(std::string_view line);
  std::string_view replacement;
};

enum class ByteFormFit {
  // Not read strictly, or not written back code for code: the text form.
  No,
  // Written back as the same bytes.
  AsItIs,
  // Written back as the same bytes once the code page 932 codes that share
  // their character with another code are replaced by that code.
  AfterCp932Rewrite,
};

// Strict reading without the platform: UTF-8 for the UTF-8 encoding, code page
// 932 lead and trail bytes for an ANSI encoding of code page 932.
ByteFormFit FitsByteForm(const Encoding& encoding, std::string_view body);

// A check of one piece of a code page 932 body: how it fits the byte form,
// and how many bytes at its start are whole codes. Only a last lead byte,
// whose trail may follow in the next piece, is left out; the last piece
// (`final`) leaves out nothing, and its lead byte without a trail is invalid.
// A body that does not fit counts as whole.
struct Cp932Scan {
  ByteFormFit fit;
  std::size_t complete;
};
Cp932Scan ScanCp932(std::string_view bytes, bool final);

// How many bytes at the start of `bytes` are not the beginning of one last
// UTF-8 sequence that more bytes could still complete.
std::size_t CompleteUtf8(std::string_view bytes);

// Replaces, in place, every code that code page 932 writes back as another
// code of the same length. `body` must be valid code page 932.
void RewriteCp932Codes(char* body, std::size_t size);

// Well-formed UTF-8: no overlong form, no encoded surrogate, nothing above U+10FFFF.
bool IsStrictUtf8(std::string_view bytes);

// The code that a strict code page 932 decoding and the encoding after it
// give for the one or two bytes of `code`; none when the decoding refuses it.
std::optional<std::uint16_t> Cp932WrittenCode(std::string_view code);

// The first CR or LF at or after `at`, else `end`.
const char* FindLineBreak(const char* at, const char* end);

// From `lineStart`, the start of a line, steps over whole lines that end in
// CR LF and cannot be the two-letter word `first` `second` (lower case, met in
// any case) with only bytes up to 0x20 around it, and returns the start of
// the first line that may be or that ends otherwise. It looks at most until
// 64 bytes before `end` and may stop early; without SSE2 it steps over none.
const char* SkipPlainLines(const char* lineStart, const char* end, char first, char second);

// Whether the processor has AVX2, which the checks of code page 932 and
// SkipPlainLines then use for 32 bytes at a time, and a switch back to 16
// (SSE2), so that the tests can compare both.
bool WideBlocksAvailable();
void UseWideBlocks(bool use);

// Calls `onLine(line)` for each line of `bytes`: CR LF, a lone CR and a lone
// LF each end one line; a break at the very end adds no empty line.
template <class OnLine>
void ForEachByteLine(std::string_view bytes, OnLine onLine) {
  const char* current = bytes.data();
  const char* const end = current + bytes.size();
  while (current < end) {
    const char* lineEnd = FindLineBreak(current, end);
    onLine(std::string_view(current, static_cast<std::size_t>(lineEnd - current)));
    current = lineEnd;
    if (current < end && *current == '\r') ++current;
    if (current < end && *current == '\n') ++current;
  }
}

// The bytes that writing `body` with `rule` gives: every line, or the rule's
// replacement, followed by CR LF.
std::uint64_t ByteFormOutputSize(std::string_view body, const ByteLineRule* rule);

// Writes the same bytes through `writePiece`, in pieces of `pieceSize` bytes
// but the last; an empty output is one empty piece.
void WriteByteForm(std::string_view body, const ByteLineRule* rule, std::size_t pieceSize,
                   const std::function<void(std::string_view)>& writePiece);

}  // namespace hq2hd
