#pragma once
// Work files kept as their own bytes (see LineList): when a body may stay in
// byte form, and the bytes a byte-form list is written as.
#include <string>
#include <string_view>

#include "codec/Encoding.h"
#include "codec/LineList.h"

namespace hq2hd {

// True when `encoding` reads `body` strictly and every character of it can be
// written back on its own: UTF-8, and the ANSI encoding of code page 932.
bool ReadsWithoutLoss(const Encoding& encoding, std::string_view body);

// True when a byte-form list read in `source` can be written in `target`
// straight from its bytes.
bool WritesByteFormAs(const Encoding& source, const Encoding& target);

// Every line followed by CR LF, each character as the encoding's reading and
// writing would give it back: the same bytes, but for code page 932 codes
// that share a character with another code and are written as that one.
std::string EncodeByteForm(const LineList& list);

}  // namespace hq2hd
