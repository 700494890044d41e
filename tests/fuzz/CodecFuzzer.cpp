// Arbitrary bytes as a work file, through the run's one pass with every set
// of kernels the processor has and piece sizes down to one byte: each must
// write the same bytes, and those must be what the plain reference (the
// platform's decoding of the whole file, line by line) gives.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/RewriteRule.h"
#include "codec/CodecKernels.h"
#include "codec/StreamRewrite.h"
#include "platform/ForwardingPlatform.h"
#include "report/Exception.h"
#include "support/ReferenceRewrite.h"

namespace {

namespace fs = std::filesystem;

// Fuzzing jobs may run side by side; each takes a folder of its own, removed
// when the process ends.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("hq2hd-fuzz-" + std::to_string(stamp));
    fs::create_directories(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

const fs::path& Folder() {
  static const ScratchFolder folder;
  return folder.Path();
}

hq2hd::Text NameOf(const fs::path& path) {
  const std::string narrow = path.string();  // ASCII: the temporary folder and a fixed leaf
  return hq2hd::Text(narrow.begin(), narrow.end());
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

[[noreturn]] void Breach(const char* what) {
  std::fprintf(stderr, "codec breach: %s\n", what);
  std::abort();
}

// The passes need their bytes, not the disk's promise to keep them: without
// the flushes the fuzzer tries several times as many inputs.
class WithoutFlushes : public hq2hd::platform::ForwardingPlatform {
 public:
  WithoutFlushes() : ForwardingPlatform(hq2hd::platform::NativePlatform()) {}
  bool FlushFileBuffers(hq2hd::platform::Handle) override { return true; }
};

// The run's pass over `input` in pieces of `pieceSize`; false when it raised.
bool Stream(const fs::path& input, std::size_t pieceSize, const hq2hd::CodecKernels& kernels,
            std::string& written) {
  const fs::path output = Folder() / "out-stream.txt";
  fs::remove(output);
  WithoutFlushes withoutFlushes;
  const hq2hd::platform::ScopedPlatform scope(withoutFlushes);
  try {
    hq2hd::StreamRewrite(
        NameOf(input), NameOf(output), hq2hd::HqLineRule, [] {}, pieceSize, kernels);
  } catch (const hq2hd::Exception&) {
    return false;
  }
  written = ReadAll(output);
  return true;
}

// Piece sizes from the input itself, so that a corpus replays the same ones:
// one byte, a few small ones, and one that is neither.
std::vector<std::size_t> PieceSizes(const std::uint8_t* data, std::size_t size) {
  std::vector<std::size_t> sizes{1, 2, 3};
  std::size_t mix = size;
  for (std::size_t k = 0; k < size; ++k) mix = mix * 31 + data[k];
  sizes.push_back(mix % 61 + 4);
  return sizes;
}

// Compares every set of kernels and every piece size with the active set
// and the whole file as one piece, and returns the whole file's bytes; none
// when the pass refused the file.
std::optional<std::string> StreamEveryWay(const fs::path& input, const std::uint8_t* data,
                                          std::size_t size) {
  std::string whole;
  const bool wrote = Stream(input, hq2hd::StreamPieceSize, hq2hd::ActiveKernels(), whole);
  for (const hq2hd::CodecKernels* kernels : hq2hd::SupportedKernels()) {
    std::vector<std::size_t> sizes = PieceSizes(data, size);
    // Pieces of a few bytes never reach the kernels' 64-byte steps: the other
    // sets take the whole file and the one size from the input.
    if (kernels != &hq2hd::ActiveKernels()) sizes = {hq2hd::StreamPieceSize, sizes.back()};
    for (std::size_t pieceSize : sizes) {
      std::string pieces;
      if (Stream(input, pieceSize, *kernels, pieces) != wrote)
        Breach("a piece size or a set of kernels changed whether the pass raised");
      if (wrote && pieces != whole) Breach("a piece size or a set of kernels changed the bytes");
    }
  }
  if (!wrote) return std::nullopt;
  return whole;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path input = Folder() / "in.txt";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::optional<std::string> streamed = StreamEveryWay(input, data, size);
  const std::optional<std::string> expected =
      hq2hd::testing::ReferenceRewrite(std::string_view(reinterpret_cast<const char*>(data), size));
  if (streamed.has_value() != expected.has_value())
    Breach(streamed ? "the pass wrote a file that it must refuse"
                    : "the pass refused a file it can read");
  if (streamed && *streamed != *expected)
    Breach("the pass and the reference wrote different bytes");
  return 0;
}
