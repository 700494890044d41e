#pragma once
// The loops over a body's bytes, one set per instruction set, each built
// from the one body in KernelBody.inc. The run uses the set chosen once, when
// the program starts; the tests and the codec fuzzer run every set the
// processor has on the same inputs.
#include <cstddef>
#include <span>

namespace hq2hd {

// How a piece of a code page 932 body fits being written back as its own
// bytes: not at all (not valid code page 932), as it is, or once the codes
// that share their character with another code are replaced by that code.
enum class Cp932Fit { Invalid, AsItIs, AfterRewrite };

// A check of one piece of a code page 932 body: how it fits, and how many
// bytes at its start are whole codes. Only a last lead byte, whose trail may
// follow in the next piece, is left out; the last piece (`final`) leaves out
// nothing, and its lead byte without a trail is invalid. An invalid piece
// counts as whole.
struct Cp932Scan {
  Cp932Fit fit;
  std::size_t complete;
};

struct CodecKernels {
  const char* name;
  Cp932Scan (*scanCp932)(const char* at, const char* end, bool final);
  // The same, but only looking for codes written back as another: AfterRewrite
  // when the piece has one, else AsItIs, valid or not. A body that has none
  // is written as its own bytes whether or not it is valid.
  Cp932Scan (*findCp932Changes)(const char* at, const char* end, bool final);
  // Replaces, in place, every code that code page 932 writes back as another
  // code of the same length; the bytes must be valid code page 932.
  void (*rewriteCp932Codes)(char* at, char* end);
  // Well-formed UTF-8: no overlong form, no encoded surrogate, nothing above U+10FFFF.
  bool (*isStrictUtf8)(const char* at, const char* end);
  // The first CR or LF at or after `at`, else `end`.
  const char* (*findLineBreak)(const char* at, const char* end);
  const char16_t* (*findUnitBreak)(const char16_t* at, const char16_t* end);
  // From `lineStart`, the start of a line, steps over whole lines that end in
  // CR LF and cannot be the two-letter word `first` `second` (lower case, met
  // in any case) with only bytes up to 0x20 around it, and returns the start
  // of the first line that may be or that ends otherwise. It looks at most
  // until 64 bytes before `end` and may stop early.
  const char* (*skipPlainLines)(const char* lineStart, const char* end, char first, char second);
  // The same over UTF-16 units, 64 units at a time.
  const char16_t* (*skipPlainUnits)(const char16_t* lineStart, const char16_t* end, char first,
                                    char second);
};

// The set the run uses: the widest that the processor has.
const CodecKernels& ActiveKernels();

// Every set that this processor can run, the portable one first.
std::span<const CodecKernels* const> SupportedKernels();

}  // namespace hq2hd
