// The kernels with SSE2: 16 bytes to an instruction. Every x86 build has it.
#include "codec/KernelIncludes.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace hq2hd {
namespace sse2 {
namespace {

struct Lanes {
  using Vector = __m128i;
  static constexpr const char* Name = "sse2";
  static constexpr int Width = 16;
  static constexpr std::uint32_t AllBits = 0xFFFF;
  static Vector Load(const void* at) { return _mm_loadu_si128(static_cast<const Vector*>(at)); }
  // Each unit above FF as FF (a unit less what it has above FF), so that the
  // packing, which takes units as signed, keeps every byte.
  static Vector LoadUnits(const char16_t* at) {
    const Vector most = _mm_set1_epi16(0xFF);
    const Vector low = Load(at), high = Load(at + Width / 2);
    return _mm_packus_epi16(_mm_sub_epi16(low, _mm_subs_epu16(low, most)),
                            _mm_sub_epi16(high, _mm_subs_epu16(high, most)));
  }
  static Vector Set(int byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
  static Vector Set16(char16_t unit) { return _mm_set1_epi16(static_cast<short>(unit)); }
  static Vector Zero() { return _mm_setzero_si128(); }
  static Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
  static Vector And(Vector a, Vector b) { return _mm_and_si128(a, b); }
  static Vector Xor(Vector a, Vector b) { return _mm_xor_si128(a, b); }
  static Vector Add(Vector a, Vector b) { return _mm_add_epi8(a, b); }
  static Vector Equal(Vector a, Vector b) { return _mm_cmpeq_epi8(a, b); }
  static Vector Equal16(Vector a, Vector b) { return _mm_cmpeq_epi16(a, b); }
  static Vector Greater(Vector a, Vector b) { return _mm_cmpgt_epi8(a, b); }
  static Vector MinUnsigned(Vector a, Vector b) { return _mm_min_epu8(a, b); }
  static Vector SubtractSaturated(Vector a, Vector b) { return _mm_subs_epu8(a, b); }
  static Vector ShiftLeft16(Vector a) { return _mm_slli_epi16(a, 1); }
  static std::uint32_t Mask(Vector a) { return static_cast<std::uint32_t>(_mm_movemask_epi8(a)); }
  // Each byte's `N`th byte before it, from `previous` for the first `N`.
  template <int N>
  static Vector Before(Vector previous, Vector current) {
    return _mm_or_si128(_mm_slli_si128(current, N), _mm_srli_si128(previous, 16 - N));
  }
};

#include "codec/KernelBody.inc"

}  // namespace
}  // namespace sse2

const CodecKernels* Sse2Kernels() { return &sse2::Kernels; }

}  // namespace hq2hd
#else
namespace hq2hd {
const CodecKernels* Sse2Kernels() { return nullptr; }
}  // namespace hq2hd
#endif
