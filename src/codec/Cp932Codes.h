#pragma once
// What the kernels know of code page 932, all of it from the generated
// tables in Cp932Codes.inc: which bytes are valid alone, which lead a code
// and with which trails, and which codes are written back as another code.
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

namespace hq2hd::cp932 {

#include "codec/Cp932Codes.inc"

inline constexpr bool HasBit(const std::uint64_t (&bits)[4], unsigned byte) {
  return (bits[byte >> 6] >> (byte & 63) & 1u) != 0;
}

// What a code does to a check, as bits that the check ORs together.
enum : std::uint8_t { Same = 0, Changed = 1, Invalid = 2 };

inline constexpr std::size_t Rows = std::size(Cp932ValidTrails);

// Per lead byte and trail byte; one byte each, so that the check of a
// two-byte code is one load. A last row, where every trail is invalid, is
// for the bytes that lead no code.
inline constexpr auto PairStates = [] {
  std::array<std::array<std::uint8_t, 256>, Rows + 1> states{};
  states[Rows].fill(Invalid);
  for (std::size_t row = 0; row < Rows; ++row) {
    for (unsigned trail = 0; trail < 256; ++trail) {
      states[row][trail] = !HasBit(Cp932ValidTrails[row], trail)    ? Invalid
                           : HasBit(Cp932ChangedTrails[row], trail) ? Changed
                                                                    : Same;
    }
  }
  return states;
}();

// Each byte's row of pair states: a lead byte's own, every other byte the
// last row.
inline constexpr auto StateRows = [] {
  std::array<std::uint8_t, 256> rows{};
  for (unsigned byte = 0; byte < 256; ++byte)
    rows[byte] =
        static_cast<std::uint8_t>(Cp932LeadRows[byte] != 0 ? Cp932LeadRows[byte] - 1 : Rows);
  return rows;
}();

inline std::uint16_t WrittenAs(std::uint16_t code) {
  const auto* found = std::lower_bound(
      std::begin(Cp932ChangedCodes), std::end(Cp932ChangedCodes), code,
      [](const Cp932ChangedCode& entry, std::uint16_t value) { return entry.code < value; });
  return found != std::end(Cp932ChangedCodes) && found->code == code ? found->writtenAs : code;
}

// The classes of bytes that the vector check of 64 bytes tests, as ranges.
struct ByteRange {
  unsigned low;
  unsigned high;
};
// No valid byte of their own.
inline constexpr ByteRange NoSingleBytes[] = {{0x81, 0xA0}, {0xE0, 0xFF}};
// May lead a code: where they do, the next byte is their trail whatever it is.
inline constexpr ByteRange MayLeadBytes[] = {{0x81, 0x9F}, {0xE0, 0xFC}};
// Leads whose row lacks some trails or has codes written as others, and the
// bytes that may lead but lead nothing: each is looked up in the table.
inline constexpr ByteRange LookedUpLeads[] = {
    {0x81, 0x88}, {0x98, 0x98}, {0xEA, 0xEF}, {0xFA, 0xFA}, {0xFC, 0xFC}};
// Every other lead takes these trails as they are, and only these.
inline constexpr ByteRange PlainTrails[] = {{0x40, 0x7E}, {0x80, 0xFC}};
// Every code written back as another has its lead and trail in one of these.
struct CodeRange {
  ByteRange leads;
  ByteRange trails;
};
inline constexpr CodeRange ChangingCodes[] = {
    {{0x87, 0x87}, {0x90, 0x9C}}, {{0xED, 0xEE}, {0x40, 0xFC}}, {{0xFA, 0xFA}, {0x4A, 0x5B}}};

template <std::size_t N>
constexpr bool In(const ByteRange (&ranges)[N], unsigned byte) {
  return std::any_of(std::begin(ranges), std::end(ranges),
                     [byte](ByteRange range) { return range.low <= byte && byte <= range.high; });
}

// The classes hold for the generated tables: a table made anew for another
// version of the code page cannot leave the vector check behind.
inline constexpr bool ClassesMatchTables = [] {
  for (unsigned byte = 0; byte < 256; ++byte) {
    const bool lead = Cp932LeadRows[byte] != 0;
    if (In(NoSingleBytes, byte) == HasBit(Cp932SingleBytes, byte)) return false;
    if (lead && !In(MayLeadBytes, byte)) return false;
    if (In(MayLeadBytes, byte) && !lead && !In(LookedUpLeads, byte)) return false;
    if (!lead || In(LookedUpLeads, byte)) continue;
    const std::size_t row = Cp932LeadRows[byte] - 1u;
    for (unsigned trail = 0; trail < 256; ++trail) {
      if (HasBit(Cp932ValidTrails[row], trail) != In(PlainTrails, trail)) return false;
      if (HasBit(Cp932ChangedTrails[row], trail)) return false;
    }
  }
  for (const Cp932ChangedCode changed : Cp932ChangedCodes) {
    const unsigned lead = changed.code >> 8, trail = changed.code & 0xFFu;
    if (std::none_of(std::begin(ChangingCodes), std::end(ChangingCodes), [&](CodeRange codes) {
          return In({codes.leads}, lead) && In({codes.trails}, trail);
        }))
      return false;
  }
  return true;
}();
static_assert(ClassesMatchTables, "the byte classes of the vector check differ from the tables");

}  // namespace hq2hd::cp932
