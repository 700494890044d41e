#pragma once
// The lower-casing behind LowerCase: one UTF-16 unit to one unit, so the text
// keeps its length. It covers the simple cases of the scripts a Japanese host
// is likely to carry (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic,
// full-width Latin); everything else stays as it is. Only "H" and "Q" become
// "h" and "q", which the rewrite rule depends on.
namespace hq2hd::platform::posix {

char16_t LowerCaseUnit(char16_t unit);

}  // namespace hq2hd::platform::posix
