#include "codec/ByteForm.h"

#include <array>
#include <limits>
#include <memory>
#include <unordered_map>

#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"

namespace hq2hd {

using namespace platform;

namespace {

constexpr std::uint32_t ShiftJisCodePage = 932;

bool IsShiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// What the platform writes for one code page 932 code after reading it,
// learned from the platform itself at a code's first use, so that the byte
// form gives exactly what decoding and encoding the text would.
class ShiftJisRoundTrip {
 public:
  // True when `code` (one or two bytes) is written back as itself.
  bool IsSame(std::string_view code) {
    const std::size_t key = Key(code);
    if (state_[key] == Unknown) Learn(code, key);
    return state_[key] == Same;
  }
  // The bytes to write for a code that is not written back as itself.
  std::string_view ChangedBytes(std::string_view code) const {
    return changed_.at(static_cast<std::uint16_t>(Key(code)));
  }

 private:
  enum : std::uint8_t { Unknown, Same, Changed };

  static std::size_t Key(std::string_view code) {
    auto first = static_cast<unsigned char>(code[0]);
    return code.size() == 1 ? first : (first << 8) | static_cast<unsigned char>(code[1]);
  }

  void Learn(std::string_view code, std::size_t key) {
    std::array<char16_t, 4> units{};
    const int unitCount =
        Os().MultiByteToWideChar(ShiftJisCodePage, 0, code.data(), static_cast<int>(code.size()),
                                 units.data(), static_cast<int>(units.size()));
    std::array<char, 16> bytes{};
    const int byteCount =
        unitCount <= 0 ? 0
                       : Os().WideCharToMultiByte(ShiftJisCodePage, 0, units.data(), unitCount,
                                                  bytes.data(), static_cast<int>(bytes.size()));
    if (byteCount <= 0) throw EEncodingError(Text(catalogue::InvalidSourceArray));
    std::string_view written(bytes.data(), static_cast<std::size_t>(byteCount));
    if (written == code) {
      state_[key] = Same;
    } else {
      state_[key] = Changed;
      changed_[static_cast<std::uint16_t>(key)] = std::string(written);
    }
  }

  std::array<std::uint8_t, 65536> state_{};
  std::unordered_map<std::uint16_t, std::string> changed_;
};

// Copies runs of codes written back as themselves in one piece.
void AppendShiftJisLine(std::string& out, std::string_view line, ShiftJisRoundTrip& roundTrip) {
  std::size_t runStart = 0, i = 0;
  const std::size_t size = line.size();
  while (i < size) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if (byte < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = IsShiftJisLeadByte(byte) && i + 1 < size ? 2 : 1;
    const std::string_view code(line.data() + i, length);
    if (!roundTrip.IsSame(code)) {
      out.append(line.data() + runStart, i - runStart);
      out.append(roundTrip.ChangedBytes(code));
      runStart = i + length;
    }
    i += length;
  }
  out.append(line.data() + runStart, size - runStart);
}

bool StrictlyReadable(std::uint32_t codePage, std::string_view body) {
  if (body.empty()) return true;
  if (body.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
  return Os().MultiByteToWideChar(codePage, MbErrInvalidChars, body.data(),
                                  static_cast<int>(body.size()), nullptr, 0) > 0;
}

bool IsShiftJisAnsi(const Encoding& encoding) {
  return &encoding == &AnsiEncoding() && encoding.CodePage() == ShiftJisCodePage;
}

}  // namespace

bool ReadsWithoutLoss(const Encoding& encoding, std::string_view body) {
  if (&encoding == &Utf8Encoding()) return StrictlyReadable(CodePageUtf8, body);
  if (IsShiftJisAnsi(encoding)) return StrictlyReadable(ShiftJisCodePage, body);
  return false;
}

bool WritesByteFormAs(const Encoding& source, const Encoding& target) {
  return &source == &target;
}

std::string EncodeByteForm(const LineList& list) {
  std::uint64_t bound = 0;
  for (std::size_t i = 0; i < list.Count(); ++i) bound += list.ByteLine(i).size() + 2;
  if (bound > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  std::string out;
  out.reserve(static_cast<std::size_t>(bound));
  if (&list.ByteEncoding() == &Utf8Encoding()) {
    // Valid UTF-8 read and written again is the same bytes.
    for (std::size_t i = 0; i < list.Count(); ++i) {
      out.append(list.ByteLine(i));
      out.append("\r\n");
    }
    return out;
  }
  auto roundTrip = std::make_unique<ShiftJisRoundTrip>();
  for (std::size_t i = 0; i < list.Count(); ++i) {
    AppendShiftJisLine(out, list.ByteLine(i), *roundTrip);
    out.append("\r\n");
  }
  return out;
}

}  // namespace hq2hd
