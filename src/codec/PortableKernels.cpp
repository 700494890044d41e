// The kernels for any processor: the vectors are arrays of 16 bytes, and
// each instruction a loop over them. This set is built everywhere, so that
// the tests compare the vector sets with it.
#include <array>

#include "codec/KernelIncludes.h"

namespace hq2hd {
namespace portable {
namespace {

struct Lanes {
  using Vector = std::array<std::uint8_t, 16>;
  static constexpr const char* Name = "portable";
  static constexpr int Width = 16;
  static constexpr std::uint32_t AllBits = 0xFFFF;

  template <class Op>
  static Vector Each(Vector a, Vector b, Op op) {
    Vector out;
    for (int k = 0; k < Width; ++k) out[k] = static_cast<std::uint8_t>(op(a[k], b[k]));
    return out;
  }
  static std::uint8_t Flag(bool set) { return set ? 0xFF : 0; }

  static Vector Load(const void* at) {
    Vector out;
    std::memcpy(out.data(), at, Width);
    return out;
  }
  static Vector LoadUnits(const char16_t* at) {
    Vector out;
    for (int k = 0; k < Width; ++k)
      out[k] = static_cast<std::uint8_t>(std::min<unsigned>(at[k], 0xFF));
    return out;
  }
  static Vector Set(int byte) {
    Vector out;
    out.fill(static_cast<std::uint8_t>(byte));
    return out;
  }
  static Vector Zero() { return Set(0); }
  static Vector Or(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) { return x | y; });
  }
  static Vector And(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) { return x & y; });
  }
  static Vector Xor(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) { return x ^ y; });
  }
  static Vector Add(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) { return x + y; });
  }
  static Vector Equal(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) { return Flag(x == y); });
  }
  // Signed bytes, as the vector instructions compare them.
  static Vector Greater(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) {
      return Flag(static_cast<std::int8_t>(x) > static_cast<std::int8_t>(y));
    });
  }
  static Vector MinUnsigned(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) { return std::min(x, y); });
  }
  static Vector SubtractSaturated(Vector a, Vector b) {
    return Each(a, b, [](unsigned x, unsigned y) { return x > y ? x - y : 0u; });
  }
  static std::uint32_t Mask(Vector a) {
    std::uint32_t bits = 0;
    for (int k = 0; k < Width; ++k) bits |= static_cast<std::uint32_t>(a[k] >> 7) << k;
    return bits;
  }
  // Each 16-bit unit (little-endian pairs of bytes) shifted left by one bit.
  static Vector ShiftLeft16(Vector a) {
    Vector out;
    for (int k = 0; k < Width; k += 2) {
      const unsigned unit = (a[k] | unsigned{a[k + 1]} << 8) << 1;
      out[k] = static_cast<std::uint8_t>(unit);
      out[k + 1] = static_cast<std::uint8_t>(unit >> 8);
    }
    return out;
  }
  static Vector Set16(char16_t unit) {
    Vector out;
    for (int k = 0; k < Width; k += 2) std::memcpy(&out[k], &unit, 2);
    return out;
  }
  static Vector Equal16(Vector a, Vector b) {
    Vector out;
    for (int k = 0; k < Width; k += 2)
      out[k] = out[k + 1] = Flag(a[k] == b[k] && a[k + 1] == b[k + 1]);
    return out;
  }
  // Each byte's `N`th byte before it, from `previous` for the first `N`.
  template <int N>
  static Vector Before(Vector previous, Vector current) {
    Vector out;
    for (int k = 0; k < Width; ++k) out[k] = k >= N ? current[k - N] : previous[Width - N + k];
    return out;
  }
};

#include "codec/KernelBody.inc"

}  // namespace
}  // namespace portable

const CodecKernels& PortableKernels() { return portable::Kernels; }

}  // namespace hq2hd
