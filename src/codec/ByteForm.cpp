#include "codec/ByteForm.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Checks of 32 bytes at a time where the processor has AVX2; only GCC has
// the pragma that builds them beside the rest.
#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && \
    !defined(__clang__)
#define HQ2HD_WIDE_BLOCKS 1
#include <immintrin.h>
#else
#define HQ2HD_WIDE_BLOCKS 0
#endif

namespace hq2hd {

namespace {

#include "codec/Cp932ByteForm.inc"

using Byte = unsigned char;

constexpr std::uint32_t ShiftJisCodePage = 932;

bool HasBit(const std::uint64_t (&bits)[4], unsigned byte) {
  return (bits[byte >> 6] >> (byte & 63) & 1u) != 0;
}

// Work files are mostly ASCII between their other characters: steps over
// whole runs of it at once. Returns the first byte from 0x80, else `end`.
const Byte* SkipAscii(const Byte* at, const Byte* end) {
#if defined(__SSE2__)
  while (end - at >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
    if (high != 0) return at + std::countr_zero(high);
    at += 16;
  }
#else
  while (end - at >= 8) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
    at += 8;
  }
#endif
  while (at < end && *at < 0x80) ++at;
  return at;
}

// What a code does to the check, as bits that the check ORs together.
enum : std::uint8_t { Same = 0, Changed = 1, Invalid = 2 };

constexpr std::size_t Cp932Rows = std::size(Cp932ValidTrails);

// Per lead byte and trail byte; one byte each, so that the check of a
// two-byte code is one load. A last row, where every trail is invalid, is
// for the bytes that lead no code.
constexpr auto Cp932PairStates = [] {
  std::array<std::array<std::uint8_t, 256>, Cp932Rows + 1> states{};
  states[Cp932Rows].fill(Invalid);
  for (std::size_t row = 0; row < Cp932Rows; ++row) {
    for (unsigned trail = 0; trail < 256; ++trail) {
      const auto bit = [&](const std::uint64_t(&bits)[4]) {
        return bits[trail >> 6] >> (trail & 63) & 1u;
      };
      states[row][trail] = !bit(Cp932ValidTrails[row])    ? Invalid
                           : bit(Cp932ChangedTrails[row]) ? Changed
                                                          : Same;
    }
  }
  return states;
}();

// What a UTF-8 lead byte allows: the sequence's length (0: no lead byte)
// and the range of its second byte, narrowed where a wider one would give an
// overlong form, an encoded surrogate or a value above U+10FFFF.
struct Utf8Lead {
  std::uint8_t length;
  std::uint8_t low;
  std::uint8_t high;
};

constexpr auto Utf8Leads = [] {
  std::array<Utf8Lead, 256> leads{};
  for (unsigned byte = 0xC2; byte <= 0xDF; ++byte) leads[byte] = {2, 0x80, 0xBF};
  for (unsigned byte = 0xE0; byte <= 0xEF; ++byte) leads[byte] = {3, 0x80, 0xBF};
  for (unsigned byte = 0xF0; byte <= 0xF4; ++byte) leads[byte] = {4, 0x80, 0xBF};
  leads[0xE0].low = 0xA0;
  leads[0xED].high = 0x9F;
  leads[0xF0].low = 0x90;
  leads[0xF4].high = 0x8F;
  return leads;
}();

std::uint16_t Cp932ChangedTo(std::uint16_t code) {
  const auto* found = std::lower_bound(
      std::begin(Cp932ChangedCodes), std::end(Cp932ChangedCodes), code,
      [](const Cp932ChangedCode& entry, std::uint16_t value) { return entry.code < value; });
  return found != std::end(Cp932ChangedCodes) && found->code == code ? found->writtenAs : code;
}

// Collects output in pieces of a fixed size and hands each on when full.
class PieceOutput {
 public:
  PieceOutput(std::size_t pieceSize, const std::function<void(std::string_view)>& writePiece)
      : buffer_(std::make_unique_for_overwrite<char[]>(pieceSize)),
        size_(pieceSize),
        writePiece_(writePiece) {}

  void Add(const char* from, std::size_t count) {
    while (count > 0) {
      if (used_ == size_) Flush();
      const std::size_t part = std::min(size_ - used_, count);
      std::memcpy(buffer_.get() + used_, from, part);
      used_ += part;
      from += part;
      count -= part;
    }
  }
  void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }
  void Finish() {
    if (used_ > 0 || !flushed_) Flush();
  }

 private:
  void Flush() {
    writePiece_(std::string_view(buffer_.get(), used_));
    used_ = 0;
    flushed_ = true;
  }

  std::unique_ptr<char[]> buffer_;
  std::size_t size_;
  std::size_t used_ = 0;
  bool flushed_ = false;
  const std::function<void(std::string_view)>& writePiece_;
};

class CountingOutput {
 public:
  void Add(const char*, std::size_t count) { size_ += count; }
  void Add(std::string_view bytes) { size_ += bytes.size(); }
  std::uint64_t Size() const { return size_; }

 private:
  std::uint64_t size_ = 0;
};

// The one pass over the body: lines that the rule leaves and that already end
// in CR LF are passed on as one run with their neighbours; only a rewritten
// line or another line break interrupts the run.
template <class Output>
void RewriteLines(std::string_view body, const ByteLineRule* rule, Output& output) {
  const char* at = body.data();
  const char* const end = at + body.size();
  const char* run = at;
  while (at < end) {
    const char* const lineEnd = FindLineBreak(at, end);
    const bool rewritten = rule != nullptr && rule->matches(std::string_view(
                                                  at, static_cast<std::size_t>(lineEnd - at)));
    const char* next = lineEnd;
    bool crLf = false;
    if (next < end && *next == '\r') ++next;
    if (next < end && *next == '\n') {
      crLf = next != lineEnd;
      ++next;
    }
    if (!rewritten && crLf) {
      at = next;
      continue;
    }
    if (rewritten) {
      output.Add(run, static_cast<std::size_t>(at - run));
      output.Add(rule->replacement);
    } else {
      output.Add(run, static_cast<std::size_t>(lineEnd - run));
    }
    output.Add("\r\n", 2);
    run = at = next;
  }
  output.Add(run, static_cast<std::size_t>(end - run));
}

}  // namespace

ByteFormFit FitsByteForm(const Encoding& encoding, std::string_view body) {
  if (&encoding == &Utf8Encoding())
    return IsStrictUtf8(body) ? ByteFormFit::AsItIs : ByteFormFit::No;
  if (&encoding == &AnsiEncoding() && encoding.CodePage() == ShiftJisCodePage)
    return ScanCp932(body, true).fit;
  return ByteFormFit::No;
}

namespace {

#if defined(__SSE2__)
// Each byte's row of pair states: a lead byte's own, every other byte the
// last row, where every trail is invalid.
constexpr auto Cp932StateRows = [] {
  std::array<std::uint8_t, 256> rows{};
  for (unsigned byte = 0; byte < 256; ++byte)
    rows[byte] = Cp932LeadRows[byte] != 0 ? Cp932LeadRows[byte] - 1 : Cp932Rows;
  return rows;
}();

// The lead bytes among the 64 at `at`. `lead` has the bytes that may lead a
// code (81 to 9F and E0 to FC), `trailFirst` is 1 when the first byte is the
// trail of a lead before them. A lead's next byte is its trail whatever it
// is, so in each run of bytes that may lead, the first is a lead, the second
// its trail, and so on: the leads are the run's bits of the parity of its
// first bit.
std::uint64_t Cp932Leads(std::uint64_t lead, std::uint64_t trailFirst) {
  constexpr std::uint64_t even = 0x5555555555555555ull;
  lead &= ~trailFirst;
  const std::uint64_t starts = lead & ~(lead << 1);
  // Adding a run's first bit clears the run: those left began at odd bits.
  const std::uint64_t oddRuns = (lead + (starts & even)) & lead;
  return ((lead & ~oddRuns) & even) | (oddRuns & ~even);
}

struct NarrowLanes {
  using Vector = __m128i;
  static constexpr int Width = 16;
  static constexpr std::uint32_t AllBits = 0xFFFF;
  static Vector Load(const void* at) { return _mm_loadu_si128(static_cast<const Vector*>(at)); }
  static Vector Set(int byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
  static Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
  static Vector AndNot(Vector a, Vector b) { return _mm_andnot_si128(a, b); }
  static Vector Add(Vector a, Vector b) { return _mm_add_epi8(a, b); }
  static Vector Equal(Vector a, Vector b) { return _mm_cmpeq_epi8(a, b); }
  static Vector Greater(Vector a, Vector b) { return _mm_cmpgt_epi8(a, b); }
  static Vector MinUnsigned(Vector a, Vector b) { return _mm_min_epu8(a, b); }
  static std::uint32_t Mask(Vector a) { return static_cast<std::uint32_t>(_mm_movemask_epi8(a)); }
  static Vector Zero() { return _mm_setzero_si128(); }
  static Vector And(Vector a, Vector b) { return _mm_and_si128(a, b); }
  static Vector SubtractSaturated(Vector a, Vector b) { return _mm_subs_epu8(a, b); }
  static Vector ShiftLeft16(Vector a) { return _mm_slli_epi16(a, 1); }
  // Each byte's `N`th byte before it, from `previous` for the first `N`.
  template <int N>
  static Vector Before(Vector previous, Vector current) {
    return _mm_or_si128(_mm_slli_si128(current, N), _mm_srli_si128(previous, 16 - N));
  }
};

namespace narrow {
using Lanes = NarrowLanes;
#include "codec/ByteBlocks.inc"
}  // namespace narrow

#if HQ2HD_WIDE_BLOCKS
#pragma GCC push_options
#pragma GCC target("avx2")
struct WideLanes {
  using Vector = __m256i;
  static constexpr int Width = 32;
  static constexpr std::uint32_t AllBits = 0xFFFFFFFF;
  static Vector Load(const void* at) { return _mm256_loadu_si256(static_cast<const Vector*>(at)); }
  static Vector Set(int byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
  static Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
  static Vector AndNot(Vector a, Vector b) { return _mm256_andnot_si256(a, b); }
  static Vector Add(Vector a, Vector b) { return _mm256_add_epi8(a, b); }
  static Vector Equal(Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); }
  static Vector Greater(Vector a, Vector b) { return _mm256_cmpgt_epi8(a, b); }
  static Vector MinUnsigned(Vector a, Vector b) { return _mm256_min_epu8(a, b); }
  static std::uint32_t Mask(Vector a) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
  }
  static Vector Zero() { return _mm256_setzero_si256(); }
  static Vector And(Vector a, Vector b) { return _mm256_and_si256(a, b); }
  static Vector SubtractSaturated(Vector a, Vector b) { return _mm256_subs_epu8(a, b); }
  static Vector ShiftLeft16(Vector a) { return _mm256_slli_epi16(a, 1); }
  // The halves are shifted apart: the high half of `previous` and the low
  // half of `current` make the 32 bytes that end just before `current`.
  template <int N>
  static Vector Before(Vector previous, Vector current) {
    return _mm256_alignr_epi8(current, _mm256_permute2x128_si256(previous, current, 0x21), 16 - N);
  }
};

namespace wide {
using Lanes = WideLanes;
#include "codec/ByteBlocks.inc"
}  // namespace wide
#pragma GCC pop_options

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}
// Asked once, when the program starts.
bool wideBlocks = HasAvx2();
#else
namespace wide = narrow;
constexpr bool wideBlocks = false;
#endif
bool WideBlocks() { return wideBlocks; }
#endif

#if !HQ2HD_WIDE_BLOCKS
bool HasAvx2() { return false; }
#endif

}  // namespace

Cp932Scan ScanCp932(std::string_view bytes, bool final) {
  const auto* const begin = reinterpret_cast<const Byte*>(bytes.data());
  const Byte* at = begin;
  const Byte* const end = begin + bytes.size();
  unsigned state = Same;
#if defined(__SSE2__)
  // 64 bytes at a time while a lead at the last of them has its trail.
  at = WideBlocks() ? wide::ScanCp932Blocks(at, end, state)
                    : narrow::ScanCp932Blocks(at, end, state);
  if (at == nullptr) return {ByteFormFit::No, bytes.size()};
#endif
  // Every code but the last has a byte after it, so the trail needs no test.
  while (at < end) {
    const unsigned byte = *at;
    if (byte < 0x80) {
      at = SkipAscii(at, end);
      continue;
    }
    const unsigned row = Cp932LeadRows[byte];
    if (row == 0) {
      if (!HasBit(Cp932SingleBytes, byte)) return {ByteFormFit::No, bytes.size()};
      ++at;
      continue;
    }
    if (end - at < 2) {
      if (final) return {ByteFormFit::No, bytes.size()};
      break;
    }
    state |= Cp932PairStates[row - 1][at[1]];
    at += 2;
  }
  const auto complete = static_cast<std::size_t>(at - begin);
  if ((state & Invalid) != 0) return {ByteFormFit::No, bytes.size()};
  return {(state & Changed) != 0 ? ByteFormFit::AfterCp932Rewrite : ByteFormFit::AsItIs, complete};
}

std::size_t CompleteUtf8(std::string_view bytes) {
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto byte = static_cast<Byte>(bytes[size - back]);
    if ((byte & 0xC0) == 0x80) continue;
    return Utf8Leads[byte].length > back ? size - back : size;
  }
  return size;
}

void RewriteCp932Codes(char* body, std::size_t size) {
  auto* at = reinterpret_cast<Byte*>(body);
  const Byte* const end = at + size;
  while (at < end) {
    if (*at < 0x80) {
      at = const_cast<Byte*>(SkipAscii(at, end));
      continue;
    }
    const unsigned row = Cp932LeadRows[*at];
    if (row == 0) {
      ++at;
      continue;
    }
    if (HasBit(Cp932ChangedTrails[row - 1], at[1])) {
      const std::uint16_t code = Cp932ChangedTo(static_cast<std::uint16_t>(at[0] << 8 | at[1]));
      at[0] = static_cast<Byte>(code >> 8);
      at[1] = static_cast<Byte>(code & 0xFF);
    }
    at += 2;
  }
}

#if defined(__SSE2__)
bool IsStrictUtf8(std::string_view bytes) {
  const char* const begin = bytes.data();
  return WideBlocks() ? wide::IsStrictUtf8Blocks(begin, begin + bytes.size())
                      : narrow::IsStrictUtf8Blocks(begin, begin + bytes.size());
}
#else
bool IsStrictUtf8(std::string_view bytes) {
  const auto* at = reinterpret_cast<const Byte*>(bytes.data());
  const Byte* const end = at + bytes.size();
  while (at < end) {
    if (*at < 0x80) {
      at = SkipAscii(at, end);
      continue;
    }
    if constexpr (std::endian::native == std::endian::little) {
      // Japanese text is runs of three-byte characters whose lead byte puts no
      // bound on the second byte (all but E0 and ED): one load checks each.
      while (end - at >= 4) {
        std::uint32_t word;
        std::memcpy(&word, at, sizeof word);
        if ((word & 0x00C0C0F0u) != 0x008080E0u || *at == 0xE0 || *at == 0xED) break;
        at += 3;
      }
      if (at == end || *at < 0x80) continue;
    }
    const Utf8Lead lead = Utf8Leads[*at];
    if (lead.length == 0 || end - at < lead.length || at[1] < lead.low || at[1] > lead.high)
      return false;
    // The bytes after the second are plain continuation bytes, 80 to BF.
    if (lead.length > 2 && (at[2] & 0xC0) != 0x80) return false;
    if (lead.length > 3 && (at[3] & 0xC0) != 0x80) return false;
    at += lead.length;
  }
  return true;
}
#endif

std::optional<std::uint16_t> Cp932WrittenCode(std::string_view code) {
  if (code.empty() || code.size() > 2) return std::nullopt;
  const auto lead = static_cast<Byte>(code[0]);
  const unsigned row = Cp932LeadRows[lead];
  if (code.size() == 1) {
    if (row != 0 || !HasBit(Cp932SingleBytes, lead)) return std::nullopt;
    return lead;
  }
  const auto trail = static_cast<Byte>(code[1]);
  if (row == 0 || !HasBit(Cp932ValidTrails[row - 1], trail)) return std::nullopt;
  return Cp932ChangedTo(static_cast<std::uint16_t>(lead << 8 | trail));
}

const char* FindLineBreak(const char* at, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
  while (end - at >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto found = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
    if (found != 0) return at + std::countr_zero(found);
    at += 16;
  }
#else
  // A byte is CR or LF when it XORs to zero with one of them.
  constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  while (end - at >= 8) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    const std::uint64_t cr = word ^ (ones * '\r'), lf = word ^ (ones * '\n');
    const std::uint64_t found = ((cr - ones) & ~cr & highs) | ((lf - ones) & ~lf & highs);
    if (found != 0) {
      if constexpr (std::endian::native == std::endian::little)
        return at + std::countr_zero(found) / 8;
      break;
    }
    at += 8;
  }
#endif
  while (at < end && *at != '\r' && *at != '\n') ++at;
  return at;
}

#if defined(__SSE2__)
const char* SkipPlainLines(const char* lineStart, const char* end, char first, char second) {
  return WideBlocks() ? wide::SkipPlainLinesBlocks(lineStart, end, first, second)
                      : narrow::SkipPlainLinesBlocks(lineStart, end, first, second);
}
#else
const char* SkipPlainLines(const char* lineStart, const char*, char, char) { return lineStart; }
#endif

std::uint64_t ByteFormOutputSize(std::string_view body, const ByteLineRule* rule) {
  CountingOutput output;
  RewriteLines(body, rule, output);
  return output.Size();
}

void WriteByteForm(std::string_view body, const ByteLineRule* rule, std::size_t pieceSize,
                   const std::function<void(std::string_view)>& writePiece) {
  // No line grows by more than its break: a small body needs no full piece.
  const auto bound = 2 * static_cast<std::uint64_t>(body.size()) + 2;
  PieceOutput output(static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, bound)),
                     writePiece);
  RewriteLines(body, rule, output);
  output.Finish();
}

bool WideBlocksAvailable() { return HasAvx2(); }

void UseWideBlocks([[maybe_unused]] bool use) {
#if HQ2HD_WIDE_BLOCKS
  wideBlocks = use && HasAvx2();
#endif
}

}  // namespace hq2hd
