#include "codec/StreamRewrite.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "codec/ByteForm.h"
#include "codec/Encoding.h"
#include "fs/FileLimits.h"
#include "platform/FullPathText.h"
#include "platform/UniqueHandle.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/IoFailure.h"
#include "report/MessageFormat.h"
#include "report/OsMessage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hq2hd {

using namespace platform;

namespace {

// The most bytes a piece's end can cut from a code: a UTF-8 sequence but its
// last byte, or an odd byte and a high surrogate.
constexpr std::size_t MaxCarry = 4;
constexpr std::uint32_t ShiftJisCodePage = 932;

[[noreturn]] void RaiseReadFailure(std::int32_t code, TextView message) {
  throw EInOutError(Text(message), code);
}

[[noreturn]] void RaiseReadFailure() {
  const auto code = static_cast<std::int32_t>(Os().LastError());
  RaiseReadFailure(code, IoFailureMessage(code));
}

const char16_t* FindUnitBreak(const char16_t* at, const char16_t* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi16('\r'), lf = _mm_set1_epi16('\n');
  while (end - at >= 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto found = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(block, cr), _mm_cmpeq_epi16(block, lf))));
    if (found != 0) return at + std::countr_zero(found) / 2;
    at += 8;
  }
#endif
  while (at < end && *at != u'\r' && *at != u'\n') ++at;
  return at;
}

const char* FindBreak(const char* at, const char* end) { return FindLineBreak(at, end); }
const char16_t* FindBreak(const char16_t* at, const char16_t* end) {
  return FindUnitBreak(at, end);
}

// The source, a piece at a time. Bytes that the last piece's end cut from a
// code are kept at the front of the buffer, the next piece read behind them.
class PieceReader {
 public:
  PieceReader(TextView path, std::size_t pieceSize)
      : file_(Os().CreateFile(path, GenericRead, FileShareRead, OpenExisting, FileAttributeNormal)),
        pieceSize_(pieceSize) {
    if (!file_) {
      Text fullName = FullPathText(path);
      Text reason = OsMessage(Os().LastError());
      throw EFOpenError(FormatMessageText(catalogue::CannotOpenFile, {fullName, reason}));
    }
    if (!Os().FileSize(file_.Get(), remaining_)) RaiseReadFailure();
    // Measured before anything is written: a larger file is refused whole.
    if (remaining_ > MaxFileBytes) RaiseReadFailure(0, catalogue::FileTooLarge);
    const auto capacity =
        static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize_, remaining_) + MaxCarry);
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity);
  }

  // Keeps the last `kept` bytes of the current piece and reads the next one
  // behind them; the source is closed after its last piece.
  std::string_view Next(std::size_t kept) {
    std::memmove(buffer_.get(), buffer_.get() + size_ - kept, kept);
    const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(pieceSize_, remaining_));
    std::uint32_t done = 0;
    if (wanted > 0 && !Os().ReadFile(file_.Get(), buffer_.get() + kept, wanted, done))
      RaiseReadFailure();
    if (done != wanted) RaiseReadFailure(iocode::ReadShort, catalogue::ReadBeyondEnd);
    remaining_ -= done;
    size_ = kept + done;
    return View();
  }

  // Reads until the piece holds `count` bytes or the source has no more.
  std::string_view ReadAtLeast(std::size_t count) {
    Next(0);
    while (size_ < count && !AtEnd()) Next(size_);
    return View();
  }

  bool AtEnd() const { return remaining_ == 0; }
  Handle File() const { return file_.Get(); }
  char* Data() { return buffer_.get(); }
  std::string_view View() const { return std::string_view(buffer_.get(), size_); }

 private:
  UniqueHandle file_;
  std::size_t pieceSize_;
  std::uint64_t remaining_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0;
};

// The target, written from a buffer of one piece; a run of bytes that would
// fill much of it is written straight from where it lies. It is created new,
// never opened through a name that is already there, and gets the source's
// permissions before its first byte.
class PieceWriter {
 public:
  PieceWriter(TextView path, std::size_t pieceSize, const std::function<void()>& created,
              Handle model)
      : file_(Os().CreateFile(path, GenericRead | GenericWrite, 0, CreateNew, FileAttributeNormal)),
        capacity_(pieceSize) {
    if (!file_) RaiseCannotCreate(path, Os().LastError());
    created();
    // A file system without permissions keeps its own.
    Os().CopyPermissions(model, file_.Get());
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
  }

  void Add(const char* bytes, std::size_t count) {
    if (count == 0) return;
    total_ += count;
    if (total_ > MaxFileBytes) throw EOutOfMemory(Text(catalogue::OutOfMemory));
    if (used_ + count > capacity_ || count >= capacity_ / 4) {
      WriteBuffer();
      if (count >= capacity_ / 4) {
        WriteAll(bytes, count);
        return;
      }
    }
    std::memcpy(buffer_.get() + used_, bytes, count);
    used_ += count;
  }
  void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }

  // The rest of the bytes, then the flush: the scratch copy is deleted once
  // this returns, so the new bytes must be on the disk by then.
  void Finish() {
    // An empty output is one empty request, as every output is at least one.
    if (used_ > 0 || !wrote_) WriteBuffer(true);
    if (!Os().FlushFileBuffers(file_.Get())) throw EWriteError(Text(catalogue::StreamWriteError));
    // A close that fails may have lost buffered data: the file is not whole.
    if (!file_.Close()) throw EWriteError(Text(catalogue::StreamWriteError));
  }

 private:
  void WriteBuffer(bool evenEmpty = false) {
    if (used_ == 0 && !evenEmpty) return;
    WriteAll(buffer_.get(), used_);
    used_ = 0;
  }

  // One request for all the bytes; what falls short, or fails after writing
  // some, is asked for again from behind what was written. A repeat that
  // writes nothing or fails raises.
  void WriteAll(const char* bytes, std::size_t count) {
    wrote_ = true;
    const auto total = static_cast<std::uint32_t>(count);
    std::uint32_t done = 0;
    bool ok = Os().WriteFile(file_.Get(), bytes, total, done);
    std::uint32_t written = std::min(done, total);
    while (!ok || written < total) {
      done = 0;
      ok = Os().WriteFile(file_.Get(), bytes + written, total - written, done);
      if (!ok || done == 0) throw EWriteError(Text(catalogue::StreamWriteError));
      written += std::min(done, total - written);
    }
  }

  UniqueHandle file_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t total_ = 0;
  bool wrote_ = false;
};

// UTF-16 lines on their way to the ANSI code page: gathered a piece at a
// time and converted with one call each. A high surrogate at a piece's end
// waits for the unit after it, so that a pair is converted as one character.
class UnitEncoder {
 public:
  UnitEncoder(const Encoding& encoding, PieceWriter& writer, std::size_t pieceUnits)
      : encoding_(encoding),
        writer_(writer),
        capacity_(std::max<std::size_t>(pieceUnits, 2)),
        units_(std::make_unique_for_overwrite<char16_t[]>(capacity_)),
        bytes_(std::make_unique_for_overwrite<char[]>(capacity_ * Encoding::MaxBytesPerUnit)) {}

  void Add(const char16_t* units, std::size_t count) {
    while (count > 0) {
      if (used_ == capacity_) Convert(false);
      const std::size_t part = std::min(capacity_ - used_, count);
      std::memcpy(units_.get() + used_, units, part * sizeof(char16_t));
      used_ += part;
      units += part;
      count -= part;
    }
  }
  void Finish() { Convert(true); }

 private:
  void Convert(bool final) {
    std::size_t count = used_;
    const bool waits =
        !final && count > 0 && units_[count - 1] >= 0xD800 && units_[count - 1] <= 0xDBFF;
    if (waits) --count;
    writer_.Add(bytes_.get(), encoding_.EncodeInto(TextView(units_.get(), count), bytes_.get(),
                                                   count * Encoding::MaxBytesPerUnit));
    if (waits) units_[0] = units_[count];
    used_ = waits ? 1 : 0;
  }

  const Encoding& encoding_;
  PieceWriter& writer_;
  std::size_t capacity_;
  std::unique_ptr<char16_t[]> units_;
  std::unique_ptr<char[]> bytes_;
  std::size_t used_ = 0;
};

// The line rule over pieces of units (bytes or UTF-16 units). Lines that
// already end in CR LF and do not match are handed on with their neighbours
// as one run of the piece; only a matching line, another line break or the
// piece's end interrupts the run. A line that may still match (so far only
// units up to U+0020 around a beginning of the word) is held across a
// piece's end; a CR at a piece's end is written as CR LF at once, and an LF
// that begins the next piece is then passed over.
template <class Unit>
class LineRewriter {
 public:
  explicit LineRewriter(const StreamLineRule& rule)
      : word_(rule.word.begin(), rule.word.end()),
        replacement_(rule.replacement.begin(), rule.replacement.end()),
        matchesText_(rule.matchesText) {
    replacement_ += Unit('\r');
    replacement_ += Unit('\n');
  }

  template <class Output>
  void Feed(const Unit* at, const Unit* const end, Output& output) {
    const Unit* run = at;
    if (afterCr_ && at < end) {
      afterCr_ = false;
      if (*at == Unit('\n')) run = ++at;
    }
    while (at < end) {
      if (!mayMatch_) {
        const Unit* lineBreak = FindBreak(at, end);
        if (lineBreak == end) break;
        at = EndLine(lineBreak, end, run, output);
        mayMatch_ = true;
        continue;
      }
      if constexpr (std::is_same_v<Unit, char>) {
        // At a line's start: most lines are neither the word nor end other
        // than in CR LF, and stay in the run untouched.
        if (held_.empty() && word_.size() == 2) at = SkipPlainLines(at, end, word_[0], word_[1]);
      }
      const Unit* const from = at;
      while (at < end && *at != Unit('\r') && *at != Unit('\n') && Accepts(*at)) ++at;
      if (at == end) {
        // The line goes on in the next piece: what it holds so far waits.
        output.Add(run, static_cast<std::size_t>(from - run));
        held_.append(from, end);
        run = end;
        break;
      }
      if (*at == Unit('\r') || *at == Unit('\n')) {
        if (Matches(from, at)) {
          output.Add(run, static_cast<std::size_t>(from - run));
          output.Add(replacement_.data(), replacement_.size());
          at = StepOverBreak(at, end);
          run = at;
        } else {
          run = GiveHeld(run, from, output);
          at = EndLine(at, end, run, output);
        }
        held_.clear();
        letters_ = 0;
        continue;
      }
      // This unit rules the match out: the line is passed on as it comes.
      run = GiveHeld(run, from, output);
      mayMatch_ = false;
      letters_ = 0;
    }
    output.Add(run, static_cast<std::size_t>(end - run));
  }

  // The source has ended: a last line without a break gets one.
  template <class Output>
  void Finish(Output& output) {
    if (!mayMatch_) {
      output.Add(Break, 2);
    } else if (!held_.empty()) {
      if (Matches(held_.data(), held_.data())) {
        output.Add(replacement_.data(), replacement_.size());
      } else {
        output.Add(held_.data(), held_.size());
        output.Add(Break, 2);
      }
    }
    held_.clear();
    mayMatch_ = true;
    letters_ = 0;
  }

 private:
  static constexpr Unit Break[2] = {Unit('\r'), Unit('\n')};

  // The line is the held units and those from `from` to `to`.
  bool Matches(const Unit* from, const Unit* to) {
    if (letters_ != word_.size()) return false;
    if constexpr (std::is_same_v<Unit, char16_t>) {
      if (matchesText_ != nullptr) {
        if (held_.empty()) return matchesText_(TextView(from, static_cast<std::size_t>(to - from)));
        return matchesText_(held_ + Text(from, to));
      }
    }
    return true;
  }

  bool Accepts(Unit unit) {
    if (static_cast<std::uint32_t>(unit) <= 0x20) return letters_ == 0 || letters_ == word_.size();
    if (letters_ < word_.size() && static_cast<std::uint32_t>(unit) < 0x80 &&
        (static_cast<std::uint32_t>(unit) | 0x20) == static_cast<std::uint32_t>(word_[letters_])) {
      ++letters_;
      return true;
    }
    return false;
  }

  // A line held from an earlier piece turned out not to match: its units go
  // out ahead of this piece's, which are all the line's own so far.
  template <class Output>
  const Unit* GiveHeld(const Unit* run, const Unit* from, Output& output) {
    if (held_.empty()) return run;
    output.Add(held_.data(), held_.size());
    held_.clear();
    return from;
  }

  const Unit* StepOverBreak(const Unit* at, const Unit* end) {
    if (*at == Unit('\r')) {
      ++at;
      if (at == end) {
        afterCr_ = true;
        return at;
      }
    }
    if (*at == Unit('\n')) ++at;
    return at;
  }

  // Ends the line at `lineBreak`; a CR LF stays in the run.
  template <class Output>
  const Unit* EndLine(const Unit* lineBreak, const Unit* end, const Unit*& run, Output& output) {
    if (*lineBreak == Unit('\r') && lineBreak + 1 < end && lineBreak[1] == Unit('\n'))
      return lineBreak + 2;
    output.Add(run, static_cast<std::size_t>(lineBreak - run));
    output.Add(Break, 2);
    run = StepOverBreak(lineBreak, end);
    return run;
  }

  std::basic_string<Unit> word_;
  std::basic_string<Unit> replacement_;
  bool (*matchesText_)(TextView);
  std::basic_string<Unit> held_;
  std::size_t letters_ = 0;
  bool mayMatch_ = true;
  bool afterCr_ = false;
};

// How a body without a mark in code page 932 is written: as the codes a
// strict reading gives while it is valid, as its own bytes once it is not.
enum class Cp932Writing { AsRead, AsOwnBytes };

// The bytes of a body that is written in its own encoding: UTF-8 checked
// strictly, code page 932 checked and its shared codes replaced, any other
// ANSI code page as it is. False when a code page 932 body turned out not to
// be valid after codes of it were replaced: it must be written anew.
bool RewriteBytes(PieceReader& reader, std::size_t start, const Encoding& read,
                  Cp932Writing writing, const StreamLineRule& rule, PieceWriter& writer) {
  const bool utf8 = &read == &Utf8Encoding();
  bool checkCp932 = !utf8 && read.CodePage() == ShiftJisCodePage && writing == Cp932Writing::AsRead;
  bool replaced = false;
  LineRewriter<char> lines(rule);
  for (std::string_view piece = reader.View();; piece = reader.View()) {
    const bool final = reader.AtEnd();
    char* const data = reader.Data();
    const std::string_view body = piece.substr(start);
    std::size_t usable = body.size();
    if (utf8) {
      usable = final ? body.size() : CompleteUtf8(body);
      if (!IsStrictUtf8(body.substr(0, usable)))
        throw EEncodingError(Text(catalogue::InvalidUtf8Body));
    } else if (checkCp932) {
      const Cp932Scan scan = ScanCp932(body, final);
      if (scan.fit == ByteFormFit::No) {
        if (replaced) return false;
        checkCp932 = false;
      } else {
        if (scan.fit == ByteFormFit::AfterCp932Rewrite) {
          RewriteCp932Codes(data + start, scan.complete);
          replaced = true;
        }
        usable = scan.complete;
      }
    }
    lines.Feed(data + start, data + start + usable, writer);
    if (final) break;
    reader.Next(body.size() - usable);
    start = 0;
  }
  lines.Finish(writer);
  return true;
}

// A UTF-16 body, written in `written` (the ANSI code page). An odd last byte
// has no partner and is left out.
void RewriteUnits(PieceReader& reader, std::size_t start, bool bigEndian, const Encoding& written,
                  const StreamLineRule& rule, std::size_t pieceSize, PieceWriter& writer) {
  const std::size_t pieceUnits = pieceSize / 2 + MaxCarry;
  auto units = std::make_unique_for_overwrite<char16_t[]>(pieceUnits);
  UnitEncoder encoder(written, writer, pieceUnits);
  LineRewriter<char16_t> lines(rule);
  for (std::string_view piece = reader.View();; piece = reader.View()) {
    const bool final = reader.AtEnd();
    const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data() + start);
    std::size_t count = (piece.size() - start) / 2;
    for (std::size_t k = 0; k < count; ++k) {
      const unsigned first = bytes[2 * k], second = bytes[2 * k + 1];
      units[k] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    // A pair cut by the piece's end is read whole with the next piece.
    if (!final && count > 0 && units[count - 1] >= 0xD800 && units[count - 1] <= 0xDBFF) --count;
    lines.Feed(units.get(), units.get() + count, encoder);
    if (final) break;
    reader.Next(piece.size() - start - 2 * count);
    start = 0;
  }
  lines.Finish(encoder);
  encoder.Finish();
}

bool RewriteOnce(TextView sourcePath, TextView targetPath, const StreamLineRule& rule,
                 const std::function<void()>& targetCreated, std::size_t pieceSize,
                 Cp932Writing writing) {
  PieceReader reader(sourcePath, pieceSize);
  const DetectedMark mark = DetectMark(reader.ReadAtLeast(3));
  const Encoding& read = mark.encoding != nullptr ? *mark.encoding : AnsiEncoding();
  const Encoding& written = WrittenEncoding(read);
  PieceWriter writer(targetPath, pieceSize, targetCreated, reader.File());
  writer.Add(written.Preamble());
  if (read.Kind() == EncodingKind::Utf16Le || read.Kind() == EncodingKind::Utf16Be) {
    RewriteUnits(reader, mark.length, read.Kind() == EncodingKind::Utf16Be, written, rule,
                 pieceSize, writer);
  } else if (!RewriteBytes(reader, mark.length, read, writing, rule, writer)) {
    return false;
  }
  writer.Finish();
  return true;
}

}  // namespace

void StreamRewrite(TextView sourcePath, TextView targetPath, const StreamLineRule& rule,
                   const std::function<void()>& targetCreated, std::size_t pieceSize) {
  pieceSize = std::max<std::size_t>(pieceSize, 1);
  try {
    // Only a body that turns out invalid after some of its codes were
    // replaced is read a second time, and written as its own bytes, into a
    // target made new again.
    if (!RewriteOnce(sourcePath, targetPath, rule, targetCreated, pieceSize,
                     Cp932Writing::AsRead)) {
      if (!Os().DeleteFile(targetPath)) throw EWriteError(Text(catalogue::StreamWriteError));
      RewriteOnce(
          sourcePath, targetPath, rule, [] {}, pieceSize, Cp932Writing::AsOwnBytes);
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  }
}

}  // namespace hq2hd
