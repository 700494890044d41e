// Code page 932 converted from tables taken from the Windows conversion
// itself (Cp932Tables.inc, made by scripts/generate-cp932-tables.py), so that
// a work file comes out of the Linux build byte for byte as out of Windows.
//
// Lenient decoding (flags 0) of bytes that are not a valid code:
// - A0, FD, FE and FF alone decode to U+F8F0..U+F8F3, as Windows gives them;
// - a lead byte and a valid trail byte (40-7E, 80-FC) that map to nothing
//   decode together to U+30FB, as on Windows;
// - a lead byte followed by a byte that cannot be a trail, or at the end,
//   decodes alone to U+30FB and the next byte is decoded on its own. Windows
//   may take such a byte as part of the pair; we do not, so that a CR or LF
//   after a broken lead byte still ends its line.
// Strict decoding (MbErrInvalidChars) fails the whole call on any of these.
// Encoding has no invalid input: a unit without a code becomes '?', unit by
// unit (so a surrogate pair becomes "??"), as on Windows.
#include "platform/posix/Cp932.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/Platform.h"

namespace hq2hd::platform::posix {
namespace {

#include "platform/posix/Cp932Tables.inc"

constexpr char DefaultByte = '?';

bool IsTrailByte(unsigned byte) {
  return byte >= TrailFirst && byte < TrailFirst + RowLength && byte != 0x7F;
}

bool IsStrictSingleByte(unsigned byte) {
  return (StrictSingleBytes[byte / 32] >> (byte % 32) & 1u) != 0;
}

struct DecodedCode {
  char16_t unit;
  int length;
  bool valid;
};

DecodedCode DecodeNonAscii(const unsigned char* at, const unsigned char* end) {
  const unsigned byte = *at;
  const unsigned row = LeadByteRows[byte];
  if (row == 0) return {SingleByteUnits[byte], 1, IsStrictSingleByte(byte)};
  if (end - at < 2 || !IsTrailByte(at[1])) return {LenientReplacement, 1, false};
  const char16_t unit = DoubleByteUnits[row - 1][at[1] - TrailFirst];
  return unit != 0 ? DecodedCode{unit, 2, true} : DecodedCode{LenientReplacement, 2, false};
}

enum class DecodeFailure { None, Invalid, Overflow };

// One pass over the bytes. A null `units` only counts. An invalid code in
// strict mode fails the call even where the output has already run out, as
// on Windows, so an overflow stops the writing but not the scan.
template <bool Strict>
int DecodeRun(const unsigned char* at, const unsigned char* end, char16_t* units, int capacity,
              DecodeFailure& failure) {
  int produced = 0;
  while (at < end) {
    DecodedCode code{*at, 1, true};
    if (*at >= 0x80) code = DecodeNonAscii(at, end);
    if (Strict && !code.valid) {
      failure = DecodeFailure::Invalid;
      return 0;
    }
    if (units != nullptr) {
      if (produced == capacity) {
        failure = DecodeFailure::Overflow;
        if (!Strict) return 0;
        units = nullptr;
      } else {
        units[produced] = code.unit;
      }
    }
    at += code.length;
    ++produced;
  }
  return failure == DecodeFailure::None ? produced : 0;
}

// Strict measuring is how a work file is checked before it is kept as bytes:
// tens of megabytes, mostly ASCII and two-byte codes, so it skips ASCII eight
// bytes at a time and looks each code up inline.
int MeasureStrict(const unsigned char* at, const unsigned char* end, DecodeFailure& failure) {
  int produced = 0;
  while (at < end) {
    while (end - at >= 8) {
      std::uint64_t word;
      std::memcpy(&word, at, sizeof word);
      if ((word & 0x8080808080808080ull) != 0) break;
      at += 8;
      produced += 8;
    }
    if (at == end) break;
    const unsigned byte = *at;
    if (byte < 0x80) {
      ++at;
    } else if (const unsigned row = LeadByteRows[byte]; row == 0) {
      if (!IsStrictSingleByte(byte)) {
        failure = DecodeFailure::Invalid;
        return 0;
      }
      ++at;
    } else {
      if (end - at < 2 || !IsTrailByte(at[1]) ||
          DoubleByteUnits[row - 1][at[1] - TrailFirst] == 0) {
        failure = DecodeFailure::Invalid;
        return 0;
      }
      at += 2;
    }
    ++produced;
  }
  return produced;
}

constexpr std::uint16_t NoCode = 0xFFFF;  // FF is no lead byte, so no code is FFxx
using EncodingTable = std::array<std::uint16_t, 0x10000>;

std::unique_ptr<const EncodingTable> BuildEncodingTable() {
  auto table = std::make_unique<EncodingTable>();
  table->fill(NoCode);
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (IsStrictSingleByte(byte) && (*table)[SingleByteUnits[byte]] == NoCode)
      (*table)[SingleByteUnits[byte]] = static_cast<std::uint16_t>(byte);
  }
  for (unsigned lead = 0; lead < 256; ++lead) {
    if (LeadByteRows[lead] == 0) continue;
    for (int trail = 0; trail < RowLength; ++trail) {
      const char16_t unit = DoubleByteUnits[LeadByteRows[lead] - 1][trail];
      if (unit != 0 && (*table)[unit] == NoCode)
        (*table)[unit] = static_cast<std::uint16_t>(lead << 8 | (TrailFirst + trail));
    }
  }
  for (const EncodingException& exception : EncodingExceptions)
    (*table)[exception.unit] = exception.code;
  // A unit without a code is written as the default character.
  std::replace(table->begin(), table->end(), NoCode, static_cast<std::uint16_t>(DefaultByte));
  return table;
}

// Built at first use: a program that never writes code page 932 pays nothing.
const EncodingTable& Encodings() {
  static const std::unique_ptr<const EncodingTable> table = BuildEncodingTable();
  return *table;
}

int EncodedLength(std::uint16_t code) { return code > 0xFF ? 2 : 1; }

// Returns the bytes written. Japanese text changes between one and two
// bytes a character every few characters, too often for a branch to guess:
// each code but the last stores two bytes, and a one-byte code's second
// byte is overwritten by the next code.
int WriteCodes(const EncodingTable& table, const char16_t* unit, const char16_t* end, char* bytes) {
  if (unit == end) return 0;
  char* const start = bytes;
  for (; unit + 1 < end; ++unit) {
    const std::uint16_t code = table[*unit];
    const bool twoBytes = code > 0xFF;
    bytes[0] = static_cast<char>(twoBytes ? code >> 8 : code);
    bytes[1] = static_cast<char>(code & 0xFF);
    bytes += twoBytes ? 2 : 1;
  }
  const std::uint16_t last = table[*unit];
  if (last > 0xFF) *bytes++ = static_cast<char>(last >> 8);
  *bytes++ = static_cast<char>(last & 0xFF);
  return static_cast<int>(bytes - start);
}

}  // namespace

bool IsCp932LeadByte(unsigned char byte) { return LeadByteRows[byte] != 0; }

int DecodeCp932(std::uint32_t flags, const char* bytes, int count, char16_t* units, int capacity,
                std::uint32_t& error) {
  if (bytes == nullptr || count <= 0 || capacity < 0) {
    error = error::InvalidParameter;
    return 0;
  }
  const auto* begin = reinterpret_cast<const unsigned char*>(bytes);
  const auto* end = begin + count;
  char16_t* const output = capacity > 0 ? units : nullptr;
  DecodeFailure failure = DecodeFailure::None;
  const bool strict = (flags & MbErrInvalidChars) != 0;
  const int produced = strict && output == nullptr ? MeasureStrict(begin, end, failure)
                       : strict ? DecodeRun<true>(begin, end, output, capacity, failure)
                                : DecodeRun<false>(begin, end, output, capacity, failure);
  if (failure == DecodeFailure::Invalid) error = error::NoUnicodeTranslation;
  if (failure == DecodeFailure::Overflow) error = error::InsufficientBuffer;
  return produced;
}

int EncodeCp932(const char16_t* units, int count, char* bytes, int capacity, std::uint32_t& error) {
  if (units == nullptr || count <= 0 || capacity < 0) {
    error = error::InvalidParameter;
    return 0;
  }
  const EncodingTable& table = Encodings();
  const char16_t* const end = units + count;
  // Room for two bytes a unit fits any text: it is written without being
  // measured first, as every run's lines are.
  if (bytes != nullptr && capacity / 2 >= count) return WriteCodes(table, units, end, bytes);
  int needed = 0;
  for (const char16_t* unit = units; unit < end; ++unit) needed += EncodedLength(table[*unit]);
  if (bytes == nullptr || capacity == 0) return needed;
  if (capacity < needed) {
    error = error::InsufficientBuffer;
    return 0;
  }
  return WriteCodes(table, units, end, bytes);
}

}  // namespace hq2hd::platform::posix
