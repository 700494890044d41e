#pragma once
// Reading a text file into a line list and writing one back.
#include "codec/LineList.h"

namespace hq2hd {

// On success the list holds the file's lines and its detected encoding. A
// file that cannot be opened raises EFOpenError; a read that falls short, a
// file too large for the counts, or a UTF-8 body that is not UTF-8 raise too,
// so a caller never mistakes a partial text for the file.
void LoadLines(LineList& list, TextView path);

// Writes every line followed by CR LF, after the encoding's preamble, in the
// given encoding, else the list's, else its default. Raises EFCreateError,
// EEncodingError or EWriteError; a write that raises may leave a partial file.
void SaveLines(const LineList& list, TextView path);
void SaveLines(const LineList& list, TextView path, const Encoding& encoding);

}  // namespace hq2hd
