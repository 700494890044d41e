#include "codec/CodecKernels.h"

#include <array>

namespace hq2hd {

// Each file of kernels gives its set, or none where the processor or the
// build lacks its instructions.
const CodecKernels& PortableKernels();
const CodecKernels* Sse2Kernels();
const CodecKernels* Avx2Kernels();

namespace {

struct KernelChoice {
  std::array<const CodecKernels*, 3> supported{};
  std::size_t count = 0;

  KernelChoice() {
    for (const CodecKernels* kernels : {&PortableKernels(), Sse2Kernels(), Avx2Kernels()})
      if (kernels != nullptr) supported[count++] = kernels;
  }
};

// Made once, at the first use; the widest set comes last.
const KernelChoice& Choice() {
  static const KernelChoice choice;
  return choice;
}

}  // namespace

const CodecKernels& ActiveKernels() {
  static const CodecKernels& active = *Choice().supported[Choice().count - 1];
  return active;
}

std::span<const CodecKernels* const> SupportedKernels() {
  return {Choice().supported.data(), Choice().count};
}

}  // namespace hq2hd
