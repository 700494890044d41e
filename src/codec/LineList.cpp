#include "codec/LineList.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace hq2hd {

namespace {

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

std::size_t LineList::Count() const {
  if (!IsByteForm()) return lines_.size();
  std::size_t count = 0;
  ForEachByteLine(ByteBody(), [&](std::string_view) { ++count; });
  return count;
}

void LineList::Append(TextView line) {
  ToTextForm();
  lines_.push_back(ownLines_.emplace_back(line));
}

void LineList::AppendFrom(const LineList& source, std::size_t index) {
  ToTextForm();
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
  byteStart_ = 0;
  byteEncoding_ = nullptr;
  byteRule_ = ByteLineRule{nullptr, {}};
}

void LineList::SetText(Text&& text) {
  ClearLines();
  auto storage = std::make_shared<const Text>(std::move(text));
  lines_ = SplitLines(*storage);
  storages_.push_back(std::move(storage));
}

void LineList::SetBytes(ByteBuffer&& bytes, std::size_t bodyStart, const Encoding& encoding) {
  ClearLines();
  byteBody_ = std::make_shared<const ByteBuffer>(std::move(bytes));
  byteStart_ = bodyStart;
  byteEncoding_ = &encoding;
}

LineList LineList::RewrittenBytes(const LineList& source, ByteLineRule rule) {
  LineList list;
  list.byteBody_ = source.byteBody_;
  list.byteStart_ = source.byteStart_;
  list.byteEncoding_ = source.byteEncoding_;
  list.byteRule_ = rule;
  return list;
}

LineList LineList::DecodedCopy() const {
  LineList copy;
  copy.encoding_ = encoding_;
  if (!IsByteForm()) {
    for (TextView line : lines_) copy.Append(line);
    return copy;
  }
  // One decoding of the whole body: its lines are the byte lines, since CR
  // and LF are one byte and one unit in every encoding a byte form holds.
  copy.SetText(byteEncoding_->Decode(ByteBody()));
  const ByteLineRule* rule = ByteRule();
  if (rule == nullptr) return copy;
  std::vector<TextView> lines;
  lines.reserve(copy.lines_.size());
  std::size_t index = 0;
  const Text replacement(rule->replacement.begin(), rule->replacement.end());
  ForEachByteLine(ByteBody(), [&](std::string_view line) {
    lines.push_back(rule->matches(line) ? copy.ownLines_.emplace_back(replacement)
                                        : copy.lines_[index]);
    ++index;
  });
  copy.lines_ = std::move(lines);
  return copy;
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
