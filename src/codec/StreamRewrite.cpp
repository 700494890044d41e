#include "codec/StreamRewrite.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "codec/CodecKernels.h"
#include "codec/Encoding.h"
#include "codec/LineRewriter.h"
#include "fs/FileLimits.h"
#include "platform/FullPathText.h"
#include "platform/PieceMemory.h"
#include "platform/UniqueHandle.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/IoFailure.h"
#include "report/MessageFormat.h"
#include "report/OsMessage.h"

namespace hq2hd {

using namespace platform;

namespace {

// The most bytes a piece's end can cut from a code: a UTF-8 sequence but its
// last byte, or an odd byte and a high surrogate.
constexpr std::size_t MaxCarry = 4;
// The smallest buffer of the writer: below the size that the allocator maps
// on its own, and large enough to take a small file's lines whole.
constexpr std::size_t SmallWriterSize = std::size_t{64} << 10;
// The largest: each page of a new buffer costs a fault when first written, and
// past this size those faults cost more than the fewer writes save.
constexpr std::size_t LargeWriterSize = std::size_t{256} << 10;

// What a piece of bytes is read beyond its size, so that the lines it gives
// reach the target's next whole piece though some of them were shorter.
constexpr std::size_t PieceMargin(std::size_t pieceSize) { return pieceSize / 16 + MaxCarry; }
// Room before a piece of bytes (after the first) for what the writer puts in
// place of fewer bytes: a line held from the last piece, a line end that
// grows from LF to CR LF.
constexpr std::size_t PieceSlack = 64;

[[noreturn]] void RaiseReadFailure(std::int32_t code, TextView message) {
  throw EInOutError(Text(message), code);
}

[[noreturn]] void RaiseReadFailure() {
  const auto code = static_cast<std::int32_t>(Os().LastError());
  RaiseReadFailure(code, IoFailureMessage(code));
}

// How many bytes at the start of `bytes` are not the beginning of one last
// UTF-8 sequence that more bytes could still complete.
std::size_t CompleteUtf8(std::string_view bytes) {
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(bytes[size - back]);
    if ((byte & 0xC0) == 0x80) continue;
    // The lengths that a lead byte gives; a byte that leads nothing waits for nothing.
    const std::size_t length = byte >= 0xF5   ? 0
                               : byte >= 0xF0 ? 4
                               : byte >= 0xE0 ? 3
                               : byte >= 0xC2 ? 2
                                              : 0;
    return length > back ? size - back : size;
  }
  return size;
}

// The source, a piece at a time. Bytes that the last piece's end cut from a
// code are kept at the front of the buffer, the next piece read behind them;
// a piece of bytes may also have the writer's last bytes in front of it.
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
    fileSize_ = remaining_;
    // Measured before anything is written: a larger file is refused whole.
    if (remaining_ > MaxFileBytes) RaiseReadFailure(0, catalogue::FileTooLarge);
    filled_ = static_cast<std::size_t>(
        std::min<std::uint64_t>(pieceSize_ + PieceMargin(pieceSize_), remaining_));
    buffer_ = AllocatePieceMemory<char>(PieceSlack + filled_ + MaxCarry);
  }

  // Keeps the last `kept` bytes of the current piece and reads the next one
  // behind them; the source is closed after its last piece.
  std::string_view Next(std::size_t kept) {
    std::memmove(buffer_.get(), Data() + size_ - kept, kept);
    front_ = 0;
    return ReadBehind(kept, pieceSize_);
  }

  // Sets the last `kept` bytes of the current piece aside for Refill(),
  // before the writer moves its own bytes to Front().
  void SetAside(std::size_t kept) {
    std::memcpy(aside_, Data() + size_ - kept, kept);
    asideSize_ = kept;
  }

  // The most bytes that may wait at Front(): the next piece still reads at
  // least one byte.
  std::size_t FrontRoom() const { return filled_ - asideSize_ - 1; }

  // Reads the next piece behind `front` bytes at Front() and the bytes set
  // aside, as much as fills the buffer to a piece and its margin.
  std::string_view Refill(std::size_t front) {
    front_ = PieceSlack + front;
    std::memcpy(Data(), aside_, asideSize_);
    return ReadBehind(asideSize_, filled_ - front - asideSize_);
  }

  // Reads until the piece holds `count` bytes or the source has no more.
  std::string_view ReadAtLeast(std::size_t count) {
    Next(0);
    while (size_ < count && !AtEnd()) Next(size_);
    return View();
  }

  bool AtEnd() const { return remaining_ == 0; }
  std::uint64_t FileSize() const { return fileSize_; }
  Handle File() const { return file_.Get(); }
  char* Lowest() { return buffer_.get(); }
  char* Front() { return buffer_.get() + PieceSlack; }
  char* Data() { return buffer_.get() + front_; }
  std::string_view View() const { return std::string_view(buffer_.get() + front_, size_); }

 private:
  // Reads up to `most` bytes behind the `kept` bytes at Data().
  std::string_view ReadBehind(std::size_t kept, std::size_t most) {
    const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(most, remaining_));
    std::uint32_t done = 0;
    if (wanted > 0 && !Os().ReadFile(file_.Get(), Data() + kept, wanted, done)) RaiseReadFailure();
    if (done != wanted) RaiseReadFailure(iocode::ReadShort, catalogue::ReadBeyondEnd);
    remaining_ -= done;
    size_ = kept + done;
    return View();
  }

  UniqueHandle file_;
  std::size_t pieceSize_;
  std::uint64_t remaining_ = 0;
  std::uint64_t fileSize_ = 0;
  // The most bytes the buffer holds for a piece, with the writer's in front.
  std::size_t filled_ = 0;
  PieceMemory<char> buffer_;
  std::size_t front_ = 0;
  std::size_t size_ = 0;
  char aside_[MaxCarry] = {};
  std::size_t asideSize_ = 0;
};

// The target. The bytes of the piece in hand are written from where they
// lie: what the line rule passes on is moved down over what it dropped, and
// what it puts in their place is written there too while it takes no more
// room than the lines it stands for, so that a piece goes out in one request
// and no second buffer is touched. Such a request ends where a whole piece of
// the target does, and the bytes beyond go in front of the next piece: the
// system keeps a file written in whole, aligned pieces in fewer, larger pages
// of its cache, and spends less on them when writing, flushing and deleting.
// Bytes from elsewhere (UTF-16 lines, a line that grows) go through a buffer
// of its own, made when first needed; a run of bytes that would fill much of
// it is written straight from where it lies.
// The target is created new, never opened through a name that is already
// there, and gets the source's permissions before its first byte.
class PieceWriter {
 public:
  PieceWriter(TextView path, std::size_t bufferSize, const std::function<void()>& created,
              Handle model)
      : file_(Os().CreateFile(path, GenericRead | GenericWrite, 0, CreateNew, FileAttributeNormal)),
        capacity_(bufferSize) {
    if (!file_) RaiseCannotCreate(path, Os().LastError());
    created();
    // A file system without permissions keeps its own.
    Os().CopyPermissions(model, file_.Get());
  }

  // The piece at `data` is written in place from here until EndPiece(),
  // behind the `waiting` bytes before it that the last piece left. From
  // `lowest` on, the bytes in place may be moved down to make room.
  void BeginPiece(char* data, std::size_t waiting, char* lowest) {
    WriteBuffer();
    inPlaceStart_ = data - waiting;
    inPlaceEnd_ = data;
    lowest_ = lowest;
  }

  // Writes what the piece in hand gave; its bytes are read over after this.
  void EndPiece() {
    WriteInPlace();
    WriteBuffer();
  }

  // The same up to the last whole `pieceSize` bytes of the target: the bytes
  // beyond, fewer than `pieceSize` and at most `most`, are moved to `front`,
  // to go out with the next piece. Returns how many.
  std::size_t EndWholePieces(char* front, std::size_t pieceSize, std::size_t most) {
    if (inPlaceStart_ == nullptr) {
      WriteBuffer();
      return 0;
    }
    // No buffered bytes wait while bytes are written in place.
    const auto pending = static_cast<std::size_t>(inPlaceEnd_ - inPlaceStart_);
    const std::size_t waiting = std::min<std::uint64_t>({pending, total_ % pieceSize, most});
    if (pending > waiting) WriteAll(inPlaceStart_, pending - waiting);
    std::memmove(front, inPlaceEnd_ - waiting, waiting);
    inPlaceStart_ = inPlaceEnd_ = nullptr;
    return waiting;
  }

  // Bytes of the piece in hand, in the order they lie there.
  void Pass(const char* bytes, std::size_t count) {
    if (inPlaceStart_ == nullptr) return Add(bytes, count);
    if (count == 0) return;
    Count(count);
    if (bytes != inPlaceEnd_) std::memmove(inPlaceEnd_, bytes, count);
    inPlaceEnd_ += count;
  }

  // Bytes from elsewhere that stand for the piece's bytes before `replaced`
  // (the end of the last passed bytes when they stand for none).
  void Put(const char* bytes, std::size_t count, const char* replaced) {
    if (count == 0) return;
    if (inPlaceStart_ != nullptr && replaced != nullptr && replaced >= inPlaceEnd_) {
      const auto room = static_cast<std::size_t>(replaced - inPlaceEnd_);
      if (count <= room || MoveDown(count - room)) {
        Count(count);
        std::memcpy(inPlaceEnd_, bytes, count);
        inPlaceEnd_ += count;
        return;
      }
    }
    // They would overwrite bytes not yet read: the rest of the piece goes
    // through the buffer, behind what was written in place.
    WriteInPlace();
    Add(bytes, count);
  }

  // Moves the bytes in place `down` bytes lower, into the room before the
  // piece, where there is that much; once a piece: where every line end
  // grows, each would move the piece's bytes again.
  bool MoveDown(std::size_t down) {
    if (down > static_cast<std::size_t>(inPlaceStart_ - lowest_)) return false;
    std::memmove(inPlaceStart_ - down, inPlaceStart_,
                 static_cast<std::size_t>(inPlaceEnd_ - inPlaceStart_));
    inPlaceStart_ -= down;
    inPlaceEnd_ -= down;
    lowest_ = inPlaceStart_;
    return true;
  }

  void Add(const char* bytes, std::size_t count) {
    if (count == 0) return;
    Count(count);
    if (used_ + count > capacity_ || count >= capacity_ / 4) {
      WriteBuffer();
      if (count >= capacity_ / 4) {
        WriteAll(bytes, count);
        return;
      }
    }
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    std::memcpy(buffer_.get() + used_, bytes, count);
    used_ += count;
  }
  void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }

  // The rest of the bytes, then the flush: the scratch copy is deleted once
  // this returns, so the new bytes must be on the disk by then.
  void Finish() {
    EndPiece();
    // An empty output is one empty request, as every output is at least one.
    if (!wrote_) WriteAll("", 0);
    if (!Os().FlushFileBuffers(file_.Get())) throw EWriteError(Text(catalogue::StreamWriteError));
    // A close that fails may have lost buffered data: the file is not whole.
    if (!file_.Close()) throw EWriteError(Text(catalogue::StreamWriteError));
  }

 private:
  void Count(std::size_t count) {
    total_ += count;
    if (total_ > MaxFileBytes) throw EOutOfMemory(Text(catalogue::OutOfMemory));
  }

  void WriteInPlace() {
    if (inPlaceStart_ == nullptr) return;
    if (inPlaceEnd_ != inPlaceStart_)
      WriteAll(inPlaceStart_, static_cast<std::size_t>(inPlaceEnd_ - inPlaceStart_));
    inPlaceStart_ = inPlaceEnd_ = nullptr;
  }

  void WriteBuffer() {
    if (used_ == 0) return;
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
  // The piece in hand's bytes that are written in place: none when null.
  char* inPlaceStart_ = nullptr;
  char* inPlaceEnd_ = nullptr;
  // How far down the bytes in place may be moved.
  char* lowest_ = nullptr;
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
        units_(AllocatePieceMemory<char16_t>(capacity_)),
        bytes_(AllocatePieceMemory<char>(capacity_ * Encoding::MaxBytesPerUnit)) {}

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
  // The units are gathered here whatever they stand for.
  void Pass(const char16_t* units, std::size_t count) { Add(units, count); }
  void Put(const char16_t* units, std::size_t count, const char16_t*) { Add(units, count); }
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
  PieceMemory<char16_t> units_;
  PieceMemory<char> bytes_;
  std::size_t used_ = 0;
};

// How a body without a mark in code page 932 is written: as the codes a
// strict reading gives while it is valid, as its own bytes once it is not.
// The two differ only where a code is written back as another, so a body is
// first only searched for such codes (`Searched`), and checked whole
// (`Checked`) from the piece where one turns up; after the first piece, that
// needs the body read anew.
enum class Cp932Writing { Searched, Checked, AsOwnBytes };

// How a pass over a body ended: written (none), or to be written anew with
// the writing named.
using WriteAgain = std::optional<Cp932Writing>;

// The bytes of a body that is written in its own encoding: UTF-8 checked
// strictly, code page 932 checked and its shared codes replaced, any other
// ANSI code page as it is.
WriteAgain RewriteBytes(PieceReader& reader, std::size_t start, const Encoding& read,
                        std::string_view preamble, Cp932Writing writing, const StreamLineRule& rule,
                        const CodecKernels& kernels, std::size_t pieceSize, PieceWriter& writer) {
  const bool utf8 = &read == &Utf8Encoding();
  if (utf8 || read.CodePage() != CodePageShiftJis) writing = Cp932Writing::AsOwnBytes;
  bool replaced = false;
  LineRewriter<char> lines(rule, kernels);
  std::size_t waiting = 0;
  for (bool first = true;; first = false) {
    const std::string_view piece = reader.View();
    const bool final = reader.AtEnd();
    char* const data = reader.Data();
    writer.BeginPiece(data, waiting, reader.Lowest());
    // A mark written for the mark read takes its place.
    if (first) writer.Put(preamble.data(), preamble.size(), data + start);
    const std::string_view body = piece.substr(start);
    std::size_t usable = body.size();
    if (utf8) {
      usable = final ? body.size() : CompleteUtf8(body);
      if (!kernels.isStrictUtf8(body.data(), body.data() + usable))
        throw EEncodingError(Text(catalogue::InvalidUtf8Body));
    }
    if (writing == Cp932Writing::Searched) {
      const Cp932Scan scan =
          kernels.findCp932Changes(body.data(), body.data() + body.size(), final);
      usable = scan.complete;
      if (scan.fit == Cp932Fit::AfterRewrite) {
        // The pieces before went out unchecked.
        if (!first) return Cp932Writing::Checked;
        writing = Cp932Writing::Checked;
      }
    }
    if (writing == Cp932Writing::Checked) {
      const Cp932Scan scan = kernels.scanCp932(body.data(), body.data() + body.size(), final);
      if (scan.fit == Cp932Fit::Invalid) {
        if (replaced) return Cp932Writing::AsOwnBytes;
        writing = Cp932Writing::AsOwnBytes;
        usable = body.size();
      } else {
        if (scan.fit == Cp932Fit::AfterRewrite) {
          kernels.rewriteCp932Codes(data + start, data + start + scan.complete);
          replaced = true;
        }
        usable = scan.complete;
      }
    }
    lines.Feed(data + start, data + start + usable, writer);
    if (final) break;
    reader.SetAside(body.size() - usable);
    waiting = writer.EndWholePieces(reader.Front(), pieceSize, reader.FrontRoom());
    reader.Refill(waiting);
    start = 0;
  }
  lines.Finish(writer);
  return std::nullopt;
}

// A UTF-16 body, written in `written` (the ANSI code page). An odd last byte
// has no partner and is left out.
void RewriteUnits(PieceReader& reader, std::size_t start, bool bigEndian, const Encoding& written,
                  const StreamLineRule& rule, const CodecKernels& kernels, std::size_t pieceSize,
                  PieceWriter& writer) {
  const std::size_t pieceUnits = pieceSize / 2 + MaxCarry;
  auto units = AllocatePieceMemory<char16_t>(pieceUnits);
  UnitEncoder encoder(written, writer, pieceUnits);
  LineRewriter<char16_t> lines(rule, kernels);
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

WriteAgain RewriteOnce(TextView sourcePath, TextView targetPath, const StreamLineRule& rule,
                       const std::function<void()>& targetCreated, std::size_t pieceSize,
                       const CodecKernels& kernels, Cp932Writing writing) {
  PieceReader reader(sourcePath, pieceSize);
  const DetectedMark mark = DetectMark(reader.ReadAtLeast(3));
  const Encoding& read = mark.encoding != nullptr ? *mark.encoding : AnsiEncoding();
  const Encoding& written = WrittenEncoding(read);
  // A small file writes at most twice its bytes (no line grows by more than
  // its break): a larger buffer would be mapped and released for nothing.
  const std::uint64_t writerSize = std::min<std::uint64_t>(
      std::min(pieceSize, LargeWriterSize),
      std::max<std::uint64_t>(2 * reader.FileSize() + MaxCarry, SmallWriterSize));
  PieceWriter writer(targetPath, static_cast<std::size_t>(writerSize), targetCreated,
                     reader.File());
  if (read.Kind() == EncodingKind::Utf16Le || read.Kind() == EncodingKind::Utf16Be) {
    writer.Add(written.Preamble());
    RewriteUnits(reader, mark.length, read.Kind() == EncodingKind::Utf16Be, written, rule, kernels,
                 pieceSize, writer);
  } else if (const WriteAgain again = RewriteBytes(reader, mark.length, read, written.Preamble(),
                                                   writing, rule, kernels, pieceSize, writer)) {
    return again;
  }
  writer.Finish();
  return std::nullopt;
}

}  // namespace

void StreamRewrite(TextView sourcePath, TextView targetPath, const StreamLineRule& rule,
                   const std::function<void()>& targetCreated, std::size_t pieceSize,
                   const CodecKernels& kernels) {
  pieceSize = std::max<std::size_t>(pieceSize, 1);
  try {
    // A code page 932 body is read a second time only when a code written
    // back as another turns up after its first piece, and again when it then
    // turns out invalid after some of its codes were replaced; each time the
    // target is made new again.
    WriteAgain again = RewriteOnce(sourcePath, targetPath, rule, targetCreated, pieceSize, kernels,
                                   Cp932Writing::Searched);
    while (again) {
      if (!Os().DeleteFile(targetPath)) throw EWriteError(Text(catalogue::StreamWriteError));
      again = RewriteOnce(
          sourcePath, targetPath, rule, [] {}, pieceSize, kernels, *again);
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(Text(catalogue::OutOfMemory));
  }
}

}  // namespace hq2hd
