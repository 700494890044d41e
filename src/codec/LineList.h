#pragma once
// An ordered list of lines without their line breaks, with the encoding it
// was read in. A list holds its lines in one of two forms:
// - text form: UTF-16 views into one decoded text, shared with any list that
//   takes lines from it;
// - byte form: the file's own bytes, for a body that its encoding reads
//   without loss (UTF-8, code page 932) and writes back character for
//   character. Work files of tens of megabytes then never become UTF-16.
// Both forms give the same bytes when written.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codec/Encoding.h"
#include "platform/Text.h"

namespace hq2hd {

// The bytes of a file as read, without zero-filling them first.
struct ByteBuffer {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  std::string_view View() const { return std::string_view(data.get(), size); }
};

class LineList {
 public:
  // Makes the ANSI encoding if it does not exist yet (EEncodingError).
  LineList();
  // Text-form lines may view another list's own lines: copies are made only
  // through DecodedCopy.
  LineList(const LineList&) = delete;
  LineList& operator=(const LineList&) = delete;
  LineList(LineList&&) = default;
  LineList& operator=(LineList&&) = default;

  // A text-form list of the same lines, decoded from a byte-form list.
  LineList DecodedCopy() const;

  std::size_t Count() const { return byteBody_ ? byteLines_.size() : lines_.size(); }

  // Text form only.
  TextView Line(std::size_t index) const { return lines_[index]; }
  const std::vector<TextView>& Lines() const { return lines_; }

  bool IsByteForm() const { return byteBody_ != nullptr; }
  // Byte form only: the bytes of a line, in ByteEncoding().
  std::string_view ByteLine(std::size_t index) const;
  const Encoding& ByteEncoding() const { return *byteEncoding_; }

  // The encoding of the last read; none for a list never read into.
  const Encoding* DetectedEncoding() const { return encoding_; }
  const Encoding& DefaultEncoding() const { return *defaultEncoding_; }
  bool WritesPreamble() const { return true; }

  void Append(TextView line);
  // Room for `count` lines in the current form.
  void Reserve(std::size_t count) {
    IsByteForm() ? byteLines_.reserve(count) : lines_.reserve(count);
  }
  // Appends line `index` of `source` without copying its text or bytes.
  void AppendFrom(const LineList& source, std::size_t index);

  // Replaces the lines by those of `text`, split at CR, LF and CR LF.
  void SetText(Text&& text);
  // Replaces the lines by those of the body that starts at `bodyStart` of
  // `bytes`, a body that `encoding` reads strictly and without loss, split at
  // the bytes CR and LF.
  void SetBytes(ByteBuffer&& bytes, std::size_t bodyStart, const Encoding& encoding);
  // An empty list takes the form of `source`, so that lines appended from a
  // byte-form list stay bytes.
  void TakeFormOf(const LineList& source);
  void SetDetectedEncoding(const Encoding& encoding) { encoding_ = &encoding; }

  // Turns a byte-form list into text form.
  void ToTextForm();

 private:
  // A line of the byte form: a range of the shared body, or (ownBit set in
  // length) of this list's own bytes.
  struct ByteSpan {
    std::uint32_t offset;
    std::uint32_t length;
  };
  static constexpr std::uint32_t OwnBit = 0x80000000u;

  void ShareText(const std::shared_ptr<const Text>& storage);
  void ClearLines();

  std::vector<TextView> lines_;
  std::vector<std::shared_ptr<const Text>> storages_;
  std::deque<Text> ownLines_;

  std::shared_ptr<const ByteBuffer> byteBody_;
  std::vector<ByteSpan> byteLines_;
  std::string ownBytes_;
  const Encoding* byteEncoding_ = nullptr;

  const Encoding* encoding_ = nullptr;
  const Encoding* defaultEncoding_;
};

// The lines of a text: CR LF, a lone CR and a lone LF each end one line; a
// break at the very end adds no empty line. U+0000 is an ordinary character.
std::vector<TextView> SplitLines(TextView text);

}  // namespace hq2hd
