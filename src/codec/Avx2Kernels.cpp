// The kernels with AVX2: 32 bytes to an instruction. Only these functions
// are built for AVX2, in a target region that GCC and clang both take, so
// the rest of the program runs on any x86 processor and the fuzz build
// (clang) fuzzes the kernels that release runs use.
#include "codec/KernelIncludes.h"

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace hq2hd {
namespace avx2 {
namespace {

struct Lanes {
  using Vector = __m256i;
  static constexpr const char* Name = "avx2";
  static constexpr int Width = 32;
  static constexpr std::uint32_t AllBits = 0xFFFFFFFF;
  static Vector Load(const void* at) { return _mm256_loadu_si256(static_cast<const Vector*>(at)); }
  // Each unit above FF as FF; the packing works in 16-byte halves, so its
  // quarters are put back in order.
  static Vector LoadUnits(const char16_t* at) {
    const Vector most = _mm256_set1_epi16(0xFF);
    const Vector packed = _mm256_packus_epi16(_mm256_min_epu16(Load(at), most),
                                              _mm256_min_epu16(Load(at + Width / 2), most));
    return _mm256_permute4x64_epi64(packed, 0xD8);
  }
  static Vector Set(int byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
  static Vector Set16(char16_t unit) { return _mm256_set1_epi16(static_cast<short>(unit)); }
  static Vector Zero() { return _mm256_setzero_si256(); }
  static Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
  static Vector And(Vector a, Vector b) { return _mm256_and_si256(a, b); }
  static Vector Xor(Vector a, Vector b) { return _mm256_xor_si256(a, b); }
  static Vector Add(Vector a, Vector b) { return _mm256_add_epi8(a, b); }
  static Vector Equal(Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); }
  static Vector Equal16(Vector a, Vector b) { return _mm256_cmpeq_epi16(a, b); }
  static Vector Greater(Vector a, Vector b) { return _mm256_cmpgt_epi8(a, b); }
  static Vector MinUnsigned(Vector a, Vector b) { return _mm256_min_epu8(a, b); }
  static Vector SubtractSaturated(Vector a, Vector b) { return _mm256_subs_epu8(a, b); }
  static Vector ShiftLeft16(Vector a) { return _mm256_slli_epi16(a, 1); }
  static std::uint32_t Mask(Vector a) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(a));
  }
  // The halves are shifted apart: the high half of `previous` and the low
  // half of `current` make the 32 bytes that end just before `current`.
  template <int N>
  static Vector Before(Vector previous, Vector current) {
    return _mm256_alignr_epi8(current, _mm256_permute2x128_si256(previous, current, 0x21), 16 - N);
  }
};

#include "codec/KernelBody.inc"

}  // namespace
}  // namespace avx2
}  // namespace hq2hd

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// The C library's answer, where its header is C++ that the compiler takes
// (clang refuses the _Bool in glibc 2.36's).
#if defined(__GLIBC__) && !defined(__clang__) && __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#endif

namespace hq2hd {
const CodecKernels* Avx2Kernels() {
#ifdef CPU_FEATURE_ACTIVE
  // The C library asked the processor as the program started. Asking again
  // costs each run tens of microseconds where CPUID traps to a hypervisor.
  return CPU_FEATURE_ACTIVE(AVX2) ? &avx2::Kernels : nullptr;
#else
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? &avx2::Kernels : nullptr;
#endif
}
}  // namespace hq2hd
#else
namespace hq2hd {
const CodecKernels* Avx2Kernels() { return nullptr; }
}  // namespace hq2hd
#endif
