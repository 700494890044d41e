// Arbitrary bytes as a work file: read, rewritten, written, read again. A
// UTF-8 file must come back with the same lines; any other comes back in the
// ANSI code page with as many lines as it had. The run's one pass must write,
// for piece sizes down to one byte, what it writes for the whole file as one
// piece: the whole-file path's bytes where that reads the file strictly, the
// file's own bytes with the rule applied where the file is not valid.
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
#include "codec/StreamRewrite.h"
#include "codec/TextFile.h"
#include "report/Exception.h"

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

// The lines as text, whichever form the list keeps them in.
std::vector<hq2hd::Text> LinesAsText(const hq2hd::LineList& list) {
  const hq2hd::LineList text = list.IsByteForm() ? list.DecodedCopy() : hq2hd::LineList();
  const auto& lines = list.IsByteForm() ? text.Lines() : list.Lines();
  return std::vector<hq2hd::Text>(lines.begin(), lines.end());
}

void Save(const hq2hd::LineList& list, const fs::path& path, bool utf8) {
  if (utf8) {
    hq2hd::SaveLines(list, NameOf(path), hq2hd::Utf8Encoding());
  } else {
    hq2hd::SaveLines(list, NameOf(path));
  }
}

[[noreturn]] void Breach(const char* what) {
  std::fprintf(stderr, "codec breach: %s\n", what);
  std::abort();
}

// The run's pass over `input` in pieces of `pieceSize`; false when it raised.
bool Stream(const fs::path& input, std::size_t pieceSize, std::string& written) {
  const fs::path output = Folder() / "out-stream.txt";
  fs::remove(output);
  try {
    hq2hd::StreamRewrite(
        NameOf(input), NameOf(output), hq2hd::HqLineRule, [] {}, pieceSize);
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

// Compares every piece size with the whole file as one piece, and returns
// the whole file's bytes; none when the pass refused the file.
std::optional<std::string> StreamEveryWay(const fs::path& input, const std::uint8_t* data,
                                          std::size_t size) {
  std::string whole;
  const bool wrote = Stream(input, hq2hd::StreamPieceSize, whole);
  for (std::size_t pieceSize : PieceSizes(data, size)) {
    std::string pieces;
    if (Stream(input, pieceSize, pieces) != wrote)
      Breach("a piece size changed whether the pass raised");
    if (wrote && pieces != whole) Breach("a piece size changed the bytes written");
  }
  if (!wrote) return std::nullopt;
  return whole;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hq2hd;
  const fs::path input = Folder() / "in.txt";
  const fs::path output = Folder() / "out.txt";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::optional<std::string> streamed = StreamEveryWay(input, data, size);
  LineList read;
  try {
    LoadLines(read, NameOf(input));
  } catch (const Exception&) {
    // Only a UTF-8 body that is not UTF-8 may be refused.
    if (size < 3 || data[0] != 0xEF || data[1] != 0xBB || data[2] != 0xBF)
      Breach("a file without a UTF-8 mark was refused");
    if (streamed) Breach("the pass wrote a file that the whole-file path refused");
    return 0;
  }
  if (!streamed) Breach("the pass refused a file that the whole-file path read");
  const bool utf8 = read.DetectedEncoding() == &Utf8Encoding();
  // Our own UTF-8 check must agree with the platform's strict decoding.
  if (utf8 && !read.IsByteForm()) Breach("UTF-8 that the platform reads left the byte form");
  const LineList rewritten = RewrittenLines(read);
  Save(rewritten, output, utf8);

  const std::string written = ReadAll(output);

  // Strictly read, the pass writes what the whole-file path writes; a file
  // without a mark that is not valid keeps its own bytes, rule and breaks apart.
  const bool utf16 =
      size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
  if (read.IsByteForm() || utf16) {
    if (*streamed != written) Breach("the pass and the whole-file path wrote different bytes");
  } else {
    const ByteLineRule rule{&IsHqLine, ByteRewrittenLine};
    std::string own = std::string(AnsiEncoding().Preamble());
    WriteByteForm(std::string_view(reinterpret_cast<const char*>(data), size), &rule, size + 1,
                  [&](std::string_view piece) { own += piece; });
    if (*streamed != own) Breach("the pass did not keep the bytes of a file it cannot read");
  }

  // The same run through UTF-16 lines and the platform's lower-casing must
  // write the very same bytes as the byte form did.
  if (read.IsByteForm()) {
    const fs::path textOutput = Folder() / "out-text.txt";
    Save(RewrittenLines(read.DecodedCopy()), textOutput, utf8);
    if (ReadAll(textOutput) != written) Breach("byte form and text wrote different bytes");
  }
  if (utf8) {
    LineList again;
    LoadLines(again, NameOf(output));
    if (LinesAsText(again) != LinesAsText(rewritten)) Breach("UTF-8 lines changed");
  } else {
    // Read back without mark detection: the ANSI bytes may begin like a mark.
    const std::vector<TextView> again = SplitLines(AnsiEncoding().Decode(written));
    if (again.size() != rewritten.Count()) Breach("ANSI line count changed");
  }
  return 0;
}
