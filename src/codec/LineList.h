#pragma once
// An ordered list of text lines without their line breaks, with the encoding
// it was read in. Lines read from a file are views into one decoded text that
// the list shares with any list that takes lines from it.
#include <deque>
#include <memory>
#include <vector>

#include "codec/Encoding.h"
#include "platform/Text.h"

namespace hq2hd {

class LineList {
 public:
  // Makes the ANSI encoding if it does not exist yet (EEncodingError).
  LineList();

  std::size_t Count() const { return lines_.size(); }
  TextView Line(std::size_t index) const { return lines_[index]; }
  const std::vector<TextView>& Lines() const { return lines_; }

  // The encoding of the last read; none for a list never read into.
  const Encoding* DetectedEncoding() const { return encoding_; }
  const Encoding& DefaultEncoding() const { return *defaultEncoding_; }
  bool WritesPreamble() const { return true; }

  void Append(TextView line);
  // Appends line `index` of `source` without copying its text.
  void AppendFrom(const LineList& source, std::size_t index);

  // Replaces the lines by those of `text`, split at CR, LF and CR LF.
  void SetText(Text&& text);
  void SetDetectedEncoding(const Encoding& encoding) { encoding_ = &encoding; }

 private:
  void Share(const std::shared_ptr<const Text>& storage);

  std::vector<TextView> lines_;
  std::vector<std::shared_ptr<const Text>> storages_;
  std::deque<Text> ownLines_;
  const Encoding* encoding_ = nullptr;
  const Encoding* defaultEncoding_;
};

// The lines of a text: CR LF, a lone CR and a lone LF each end one line; a
// break at the very end adds no empty line. U+0000 is an ordinary character.
std::vector<TextView> SplitLines(TextView text);

}  // namespace hq2hd
