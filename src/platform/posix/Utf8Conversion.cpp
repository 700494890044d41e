#include "platform/posix/Utf8Conversion.h"

#include <cstring>

#include "platform/Platform.h"
#include "platform/posix/Utf8Sequence.h"

namespace hq2hd::platform::posix {
namespace {

inline constexpr char16_t kReplacement = 0xFFFD;

// Counts when `out` is null, else writes within `capacity`; either way the
// conversion loops stay single-pass and allocation-free, since whole work
// files of many megabytes go through them.
template <typename Unit>
class Sink {
 public:
  Sink(Unit* out, int capacity) : out_(capacity > 0 ? out : nullptr), capacity_(capacity) {}

  bool Room(int units) const { return out_ == nullptr || capacity_ - written_ >= units; }
  void Put(Unit unit) {
    if (out_ != nullptr) out_[written_] = unit;
    ++written_;
  }
  void Put(const Unit* units, int length) {
    if (out_ != nullptr) std::memcpy(out_ + written_, units, sizeof(Unit) * length);
    written_ += length;
  }
  // ASCII runs, the bulk of a work file, are copied a run at a time.
  template <typename Source>
  void PutRun(const Source* source, int length) {
    if (out_ != nullptr)
      for (int i = 0; i < length; ++i) out_[written_ + i] = static_cast<Unit>(source[i]);
    written_ += length;
  }
  int Written() const { return written_; }

 private:
  Unit* out_;
  int capacity_;
  int written_ = 0;
};

}  // namespace

int DecodeUtf8(std::uint32_t flags, const char* bytes, int count, char16_t* units, int capacity,
               std::uint32_t& error) {
  const bool strict = (flags & MbErrInvalidChars) != 0;
  Sink<char16_t> sink(units, capacity);
  const auto* at = reinterpret_cast<const unsigned char*>(bytes);
  const auto* end = at + count;
  while (at < end) {
    if (*at < 0x80) {
      const unsigned char* runEnd = at + 1;
      while (runEnd < end && *runEnd < 0x80) ++runEnd;
      const auto run = static_cast<int>(runEnd - at);
      if (!sink.Room(run)) break;
      sink.PutRun(at, run);
      at = runEnd;
      continue;
    }
    char32_t codePoint = 0;
    const std::size_t length = ReadUtf8Sequence(at, end, codePoint);
    if (length == 0) {
      if (strict) {
        error = error::NoUnicodeTranslation;
        return 0;
      }
      if (!sink.Room(1)) break;
      sink.Put(kReplacement);
      ++at;
      continue;
    }
    if (codePoint >= 0x10000) {
      if (!sink.Room(2)) break;
      sink.Put(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
      sink.Put(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
    } else {
      if (!sink.Room(1)) break;
      sink.Put(static_cast<char16_t>(codePoint));
    }
    at += length;
  }
  if (at < end) {
    error = error::InsufficientBuffer;
    return 0;
  }
  return sink.Written();
}

int EncodeUtf8(std::uint32_t flags, const char16_t* units, int count, char* bytes, int capacity,
               std::uint32_t& error) {
  const bool strict = (flags & WcErrInvalidChars) != 0;
  Sink<char> sink(bytes, capacity);
  unsigned char sequence[4];
  for (int i = 0; i < count; ++i) {
    const char16_t unit = units[i];
    if (unit < 0x80) {
      int runEnd = i + 1;
      while (runEnd < count && units[runEnd] < 0x80) ++runEnd;
      if (!sink.Room(runEnd - i)) {
        error = error::InsufficientBuffer;
        return 0;
      }
      sink.PutRun(units + i, runEnd - i);
      i = runEnd - 1;
      continue;
    }
    char32_t codePoint = unit;
    if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units[i + 1])) {
      codePoint = CombineSurrogates(unit, units[++i]);
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      if (strict) {
        error = error::NoUnicodeTranslation;
        return 0;
      }
      codePoint = kReplacement;
    }
    const auto length = static_cast<int>(WriteUtf8Sequence(codePoint, sequence));
    if (!sink.Room(length)) {
      error = error::InsufficientBuffer;
      return 0;
    }
    sink.Put(reinterpret_cast<const char*>(sequence), length);
  }
  return sink.Written();
}

}  // namespace hq2hd::platform::posix
