#pragma once
// An ordered list of lines without their line breaks, with the encoding it
// was read in. A list holds its lines in one of two forms:
// - text form: UTF-16 views into one decoded text, shared with any list that
//   takes lines from it;
// - byte form: the file's own body, for a body that its encoding reads
//   strictly and writes back byte for byte (UTF-8, code page 932). It keeps no
//   list of its lines: they are found when the list is written, in one pass
//   that also applies the list's line rule. Work files of hundreds of
//   megabytes then cost their own size in memory and nothing more.
// Both forms give the same bytes when written.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codec/ByteForm.h"
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

  // A text-form list of the same lines, decoded from a byte-form list, with
  // its rule applied.
  LineList DecodedCopy() const;

  // A byte-form list counts its lines by going over them.
  std::size_t Count() const;

  // Text form only.
  TextView Line(std::size_t index) const { return lines_[index]; }
  const std::vector<TextView>& Lines() const { return lines_; }

  bool IsByteForm() const { return byteBody_ != nullptr; }
  // Byte form only: the body, in ByteEncoding(), and the rule its lines are
  // written with (none: as they are).
  std::string_view ByteBody() const { return byteBody_->View().substr(byteStart_); }
  const Encoding& ByteEncoding() const { return *byteEncoding_; }
  const ByteLineRule* ByteRule() const { return byteRule_.matches ? &byteRule_ : nullptr; }

  // The encoding of the last read; none for a list never read into.
  const Encoding* DetectedEncoding() const { return encoding_; }
  const Encoding& DefaultEncoding() const { return *defaultEncoding_; }
  bool WritesPreamble() const { return true; }

  // Text form: a byte-form list becomes text first.
  void Append(TextView line);
  void Reserve(std::size_t count) { lines_.reserve(count); }
  // Appends line `index` of the text-form `source` without copying its text.
  void AppendFrom(const LineList& source, std::size_t index);

  // Replaces the lines by those of `text`, split at CR, LF and CR LF.
  void SetText(Text&& text);
  // Replaces the lines by those of the body that starts at `bodyStart` of
  // `bytes`, a body that `encoding` reads strictly and writes back as these
  // bytes, split at the bytes CR and LF.
  void SetBytes(ByteBuffer&& bytes, std::size_t bodyStart, const Encoding& encoding);
  void SetDetectedEncoding(const Encoding& encoding) { encoding_ = &encoding; }

  // A new list, never read into, of the byte-form `source`'s lines with
  // `rule` applied; it shares the source's bytes.
  static LineList RewrittenBytes(const LineList& source, ByteLineRule rule);

  // Turns a byte-form list into text form.
  void ToTextForm();

 private:
  void ShareText(const std::shared_ptr<const Text>& storage);
  void ClearLines();

  std::vector<TextView> lines_;
  std::vector<std::shared_ptr<const Text>> storages_;
  std::deque<Text> ownLines_;

  std::shared_ptr<const ByteBuffer> byteBody_;
  std::size_t byteStart_ = 0;
  const Encoding* byteEncoding_ = nullptr;
  ByteLineRule byteRule_{nullptr, {}};

  const Encoding* encoding_ = nullptr;
  const Encoding* defaultEncoding_;
};

// The lines of a text: CR LF, a lone CR and a lone LF each end one line; a
// break at the very end adds no empty line. U+0000 is an ordinary character.
std::vector<TextView> SplitLines(TextView text);

}  // namespace hq2hd
