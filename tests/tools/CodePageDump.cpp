// Prints code page 932 as this build's platform converts it, one code a line,
// so that the Windows conversion and our own POSIX one can be compared line
// for line and the POSIX tables generated from the Windows output
// (scripts/generate-cp932-tables.py).
//
//   D <bytes> <unit>    the bytes (one byte, or lead and trail) that the strict
//                       decode (MbErrInvalidChars) accepts as exactly one unit
//   L <bytes> <units>   the lenient decode (flags 0) of every single byte, and
//                       of every lead byte with a valid trail (40-7E, 80-FC),
//                       that the strict decode refuses
//   E <unit> <bytes>    the encoding (flags 0) of every BMP unit but surrogates
//
// The encoding is printed as the conversion gives it. A unit without a mapping
// comes out as the default character 3F, the same bytes as a unit that maps
// to '?': for agreement that difference is invisible, so it needs no marking;
// the generator keeps only units whose bytes are not 3F (U+003F is ASCII).
//
// Output goes through the platform's own standard handle, so that no C
// runtime text mode turns LF into CR LF on Windows.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace {

using hq2hd::platform::Os;

constexpr std::uint32_t CodePage = 932;

bool IsTrailByte(unsigned byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

void AppendHex(std::string& line, unsigned value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  line += text;
}

std::u16string Decode(std::uint32_t flags, const std::string& bytes) {
  char16_t units[8] = {};
  const int count = Os().MultiByteToWideChar(CodePage, flags, bytes.data(),
                                             static_cast<int>(bytes.size()), units, 8);
  return std::u16string(units, count > 0 ? count : 0);
}

std::string Encode(char16_t unit) {
  char bytes[8] = {};
  const int count = Os().WideCharToMultiByte(CodePage, 0, &unit, 1, bytes, 8);
  return std::string(bytes, count > 0 ? count : 0);
}

void AppendBytes(std::string& line, const std::string& bytes) {
  for (const char byte : bytes) AppendHex(line, static_cast<unsigned char>(byte), 2);
}

void AppendUnits(std::string& line, const std::u16string& units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (i > 0) line += ',';
    AppendHex(line, units[i], 4);
  }
  if (units.empty()) line += '-';
}

void AppendDecodeLine(std::string& out, char kind, const std::string& bytes,
                      const std::u16string& units) {
  out += kind;
  out += ' ';
  AppendBytes(out, bytes);
  out += ' ';
  AppendUnits(out, units);
  out += '\n';
}

// Bytes in order. A lead byte is one that takes a trail byte with it, also in
// a row without a single mapped code (85, 86, EB, EC, EF).
void DumpDecoding(std::string& out) {
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::string single(1, static_cast<char>(byte));
    const std::u16string strict = Decode(hq2hd::platform::MbErrInvalidChars, single);
    std::vector<std::u16string> strictPairs(256);
    bool isLead = false;
    for (unsigned trail = 0; trail < 256; ++trail) {
      const std::string pair{static_cast<char>(byte), static_cast<char>(trail)};
      strictPairs[trail] = Decode(hq2hd::platform::MbErrInvalidChars, pair);
      isLead = isLead || strictPairs[trail].size() == 1 ||
               (IsTrailByte(trail) && Decode(0, pair).size() == 1);
    }
    if (strict.size() == 1) {
      AppendDecodeLine(out, 'D', single, strict);
    } else {
      AppendDecodeLine(out, 'L', single, Decode(0, single));
    }
    for (unsigned trail = 0; isLead && trail < 256; ++trail) {
      const std::string pair{static_cast<char>(byte), static_cast<char>(trail)};
      if (strictPairs[trail].size() == 1) {
        AppendDecodeLine(out, 'D', pair, strictPairs[trail]);
      } else if (IsTrailByte(trail)) {
        AppendDecodeLine(out, 'L', pair, Decode(0, pair));
      }
    }
  }
}

void DumpEncoding(std::string& out) {
  for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    out += "E ";
    AppendHex(out, unit, 4);
    out += ' ';
    AppendBytes(out, Encode(static_cast<char16_t>(unit)));
    out += '\n';
  }
}

bool WriteAll(const std::string& text) {
  auto& os = Os();
  const auto output = os.StdHandle(hq2hd::platform::StdStream::Output);
  std::size_t written = 0;
  while (written < text.size()) {
    std::uint32_t done = 0;
    const auto chunk =
        static_cast<std::uint32_t>(std::min<std::size_t>(text.size() - written, 1 << 20));
    if (!os.WriteFile(output, text.data() + written, chunk, done) || done == 0) return false;
    written += done;
  }
  return true;
}

}  // namespace

int main() {
  std::string out;
  out.reserve(4 << 20);
  DumpDecoding(out);
  DumpEncoding(out);
  return WriteAll(out) ? 0 : 1;
}
