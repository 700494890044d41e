#include "codec/LineList.h"

#include <algorithm>

namespace hq2hd {

LineList::LineList() : defaultEncoding_(&AnsiEncoding()) {}

void LineList::Append(TextView line) { lines_.push_back(ownLines_.emplace_back(line)); }

void LineList::AppendFrom(const LineList& source, std::size_t index) {
  for (const auto& storage : source.storages_) Share(storage);
  if (!source.ownLines_.empty()) {
    Append(source.Line(index));
    return;
  }
  lines_.push_back(source.Line(index));
}

void LineList::Share(const std::shared_ptr<const Text>& storage) {
  if (std::find(storages_.begin(), storages_.end(), storage) == storages_.end())
    storages_.push_back(storage);
}

void LineList::SetText(Text&& text) {
  lines_.clear();
  ownLines_.clear();
  storages_.clear();
  auto storage = std::make_shared<const Text>(std::move(text));
  lines_ = SplitLines(*storage);
  storages_.push_back(std::move(storage));
}

std::vector<TextView> SplitLines(TextView text) {
  std::vector<TextView> lines;
  const char16_t* const begin = text.data();
  const char16_t* const end = begin + text.size();
  const char16_t* current = begin;
  while (current < end) {
    const char16_t* lineEnd = current;
    while (lineEnd < end && *lineEnd != u'\r' && *lineEnd != u'\n') ++lineEnd;
    lines.emplace_back(current, static_cast<std::size_t>(lineEnd - current));
    current = lineEnd;
    if (current < end && *current == u'\r') ++current;
    if (current < end && *current == u'\n') ++current;
  }
  return lines;
}

}  // namespace hq2hd
