#include "codec/LineList.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace hq2hd {

namespace {

bool IsAscii(TextView line) {
  return std::all_of(line.begin(), line.end(), [](char16_t unit) { return unit < 0x80; });
}

// Calls `onLine(begin, end)` for each line of `data`, with the same breaks as
// SplitLines. Works for bytes and for UTF-16 units alike.
template <class Unit, class OnLine>
void ForEachLine(const Unit* begin, const Unit* end, OnLine onLine) {
  const Unit* current = begin;
  while (current < end) {
    const Unit* lineEnd = current;
    while (lineEnd < end && *lineEnd != Unit('\r') && *lineEnd != Unit('\n')) ++lineEnd;
    onLine(current, lineEnd);
    current = lineEnd;
    if (current < end && *current == Unit('\r')) ++current;
    if (current < end && *current == Unit('\n')) ++current;
  }
}

}  // namespace

LineList::LineList() : defaultEncoding_(&AnsiEncoding()) {}

std::string_view LineList::ByteLine(std::size_t index) const {
  const ByteSpan span = byteLines_[index];
  if ((span.length & OwnBit) != 0)
    return std::string_view(ownBytes_).substr(span.offset, span.length & ~OwnBit);
  return byteBody_->View().substr(span.offset, span.length);
}

void LineList::Append(TextView line) {
  if (IsByteForm()) {
    // ASCII is the same bytes in every encoding a byte form holds.
    if (IsAscii(line) && ownBytes_.size() + line.size() < OwnBit) {
      const auto offset = static_cast<std::uint32_t>(ownBytes_.size());
      for (char16_t unit : line) ownBytes_.push_back(static_cast<char>(unit));
      byteLines_.push_back({offset, static_cast<std::uint32_t>(line.size()) | OwnBit});
      return;
    }
    ToTextForm();
  }
  lines_.push_back(ownLines_.emplace_back(line));
}

void LineList::AppendFrom(const LineList& source, std::size_t index) {
  if (source.IsByteForm()) {
    TakeFormOf(source);
    if (IsByteForm() && byteBody_ == source.byteBody_ &&
        (source.byteLines_[index].length & OwnBit) == 0) {
      byteLines_.push_back(source.byteLines_[index]);
      return;
    }
    if (IsByteForm()) ToTextForm();
    Append(source.ByteEncoding().Decode(source.ByteLine(index)));
    return;
  }
  if (IsByteForm()) ToTextForm();
  for (const auto& storage : source.storages_) ShareText(storage);
  if (!source.ownLines_.empty()) {
    Append(source.Line(index));
    return;
  }
  lines_.push_back(source.Line(index));
}

void LineList::ShareText(const std::shared_ptr<const Text>& storage) {
  if (std::find(storages_.begin(), storages_.end(), storage) == storages_.end())
    storages_.push_back(storage);
}

void LineList::ClearLines() {
  lines_.clear();
  ownLines_.clear();
  storages_.clear();
  byteBody_.reset();
  byteLines_.clear();
  ownBytes_.clear();
  byteEncoding_ = nullptr;
}

void LineList::SetText(Text&& text) {
  ClearLines();
  auto storage = std::make_shared<const Text>(std::move(text));
  lines_ = SplitLines(*storage);
  storages_.push_back(std::move(storage));
}

void LineList::SetBytes(ByteBuffer&& bytes, std::size_t bodyStart, const Encoding& encoding) {
  ClearLines();
  auto storage = std::make_shared<const ByteBuffer>(std::move(bytes));
  const char* const begin = storage->data.get();
  ForEachLine(begin + bodyStart, begin + storage->size,
              [&](const char* lineBegin, const char* lineEnd) {
                byteLines_.push_back({static_cast<std::uint32_t>(lineBegin - begin),
                                      static_cast<std::uint32_t>(lineEnd - lineBegin)});
              });
  byteBody_ = std::move(storage);
  byteEncoding_ = &encoding;
}

LineList LineList::DecodedCopy() const {
  LineList copy;
  copy.encoding_ = encoding_;
  if (IsByteForm()) {
    for (std::size_t i = 0; i < byteLines_.size(); ++i)
      copy.Append(byteEncoding_->Decode(ByteLine(i)));
  } else {
    for (TextView line : lines_) copy.Append(line);
  }
  return copy;
}

void LineList::TakeFormOf(const LineList& source) {
  if (Count() != 0 || !source.IsByteForm()) return;
  ClearLines();
  byteBody_ = source.byteBody_;
  byteEncoding_ = source.byteEncoding_;
}

void LineList::ToTextForm() {
  if (IsByteForm()) *this = DecodedCopy();
}

std::vector<TextView> SplitLines(TextView text) {
  std::vector<TextView> lines;
  ForEachLine(text.data(), text.data() + text.size(),
              [&](const char16_t* begin, const char16_t* end) {
                lines.emplace_back(begin, static_cast<std::size_t>(end - begin));
              });
  return lines;
}

}  // namespace hq2hd
