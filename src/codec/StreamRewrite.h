#pragma once
// The run's rewrite of a text file as one pass: the file is read in pieces of
// a fixed size, and each piece is checked or decoded, has the line rule
// applied and is written before the next is read. No list of lines and no
// whole file is held; what a piece's end cuts in two (a code, a surrogate
// pair, a CR whose LF may follow, a line that may still match) is carried to
// the next. Memory is the pieces and the longest line that may still match.
#include <cstddef>
#include <functional>
#include <string_view>

#include "codec/CodecKernels.h"
#include "platform/Text.h"

namespace hq2hd {

// Which lines are written as another line: those that, without the units up
// to U+0020 at both of their ends, are `word` in any mix of upper and lower
// case. Both texts are ASCII, `word` in lower case. A UTF-16 line that is
// the word so far is given whole to `matchesText`, when there is one, for the
// last word; what it raises stops the pass and leaves it as it is.
struct StreamLineRule {
  std::string_view word;
  std::string_view replacement;
  bool (*matchesText)(TextView line) = nullptr;
};

inline constexpr std::size_t StreamPieceSize = std::size_t{1} << 20;

// Writes the new file `targetPath` from the text file `sourcePath` with `rule`
// applied, every line followed by CR LF, in WrittenEncoding() of the
// encoding its mark gives. A file without a mark that is valid code page 932
// (the ANSI code page being 932) comes back as today's codes; any other file
// without a mark comes back byte for byte, line ends and matching lines
// apart. The target must not exist (it is created new, with the source's
// permissions); `targetCreated` is called once it has been created.
//
// Raises what stops it: EFOpenError, EInOutError (a failed or short read, a
// file of 2 GiB or more, found before the target is created), EFCreateError
// (nothing created, a name already there included), EEncodingError (a UTF-8 body that is not UTF-8,
// found wherever it is), EOutOfMemory (no memory, or more than 2^31 - 1 bytes of output),
// EWriteError. After `targetCreated`, the target is then a failed write.
void StreamRewrite(TextView sourcePath, TextView targetPath, const StreamLineRule& rule,
                   const std::function<void()>& targetCreated,
                   std::size_t pieceSize = StreamPieceSize,
                   const CodecKernels& kernels = ActiveKernels());

}  // namespace hq2hd
