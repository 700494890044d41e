#include "fs/PathChecks.h"

#include <algorithm>
#include <array>

#include "fs/FileExists.h"
#include "platform/FullPathText.h"
#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {
namespace {

constexpr std::size_t MaxPathWithoutPrefix = 248;
constexpr TextView ExtendedUncPrefix = u"\\\\?\\UNC\\";
constexpr TextView ExtendedPrefix = u"\\\\?\\";

constexpr std::array<char16_t, 36> InvalidPathChars = [] {
  std::array<char16_t, 36> chars{};
  for (char16_t c = 0; c < 0x20; ++c) chars[c] = c;
  chars[32] = u'"';
  chars[33] = u'<';
  chars[34] = u'>';
  chars[35] = u'|';
  return chars;
}();

// 0-based index of the first unit behind an extended prefix.
std::size_t PrefixLength(TextView path) {
  if (path.starts_with(ExtendedUncPrefix)) return ExtendedUncPrefix.size();
  if (path.starts_with(ExtendedPrefix)) return ExtendedPrefix.size();
  return 0;
}

bool IsAsciiLetter(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

bool IsDriveRooted(TextView path) {
  std::size_t start = PrefixLength(path);
  return path.size() >= 2 && start + 1 < path.size() && IsAsciiLetter(path[start]) &&
         path[start + 1] == u':';
}

bool IsUncRooted(TextView path) {
  if (path.size() < 3 || path[0] != u'\\' || path[1] != u'\\') return false;
  if (path[2] == u'?') return path.starts_with(ExtendedUncPrefix);
  return !IsInvalidPathChar(path[2]);
}

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

}  // namespace

bool IsInvalidPathChar(char16_t unit) {
  return std::binary_search(InvalidPathChars.begin(), InvalidPathChars.end(), unit);
}

void ValidatePath(TextView path, bool mustExist) {
  std::size_t prefix = PrefixLength(path);
  if (path.size() >= MaxPathWithoutPrefix && prefix == 0)
    throw EPathTooLongException(Text(catalogue::PathTooLong));

  bool blank = TrimControls(path).empty();
  if (!blank) {
    // A drive letter is the only place where a colon may stand.
    std::size_t start = prefix + (IsDriveRooted(path) ? 2 : 0);
    if (path.find(u':', start) != TextView::npos)
      throw ENotSupportedException(Text(catalogue::PathFormatNotSupported));
  }
  if (blank) throw EArgumentException(Text(catalogue::InvalidPathChars));
  if (std::any_of(path.begin() + static_cast<std::ptrdiff_t>(prefix), path.end(),
                  IsInvalidPathChar))
    throw EArgumentException(Text(catalogue::InvalidPathChars));

  Text fullPath = FullPathOf(path);
  if (!IsDirectoryPresent(DirectoryPartOf(fullPath)))
    throw EDirectoryNotFoundException(Text(catalogue::PathNotFound));
  if (mustExist && !IsFilePresent(path, true))
    throw EFileNotFoundException(Text(catalogue::FileNotFound));
}

Text FullPathOf(TextView path) {
  auto& os = platform::Os();
  os.SetLastError(0);
  Text fullPath = platform::FullPathText(path);
  std::uint32_t code = os.LastError();
  if (code != 0 && code != platform::error::FileNotFound)
    throw ENotSupportedException(OsMessage(code));
  return fullPath;
}

Text DirectoryPartOf(TextView fullPath) {
  // Positions below are 1-based, 0 meaning "none".
  TextView t = TrimControls(fullPath);
  const std::size_t n = t.size();
  const std::size_t prefix = PrefixLength(t);
  const bool hasPrefix = prefix != 0;
  const std::size_t p = prefix + 1;
  std::size_t lastSeparator = 0;
  for (std::size_t i = n; i > 0; --i) {
    if (IsSeparator(t[i - 1])) {
      lastSeparator = i;
      break;
    }
  }
  auto findSeparatorFrom = [&](std::size_t position) -> std::size_t {
    for (std::size_t i = position; i <= n; ++i)
      if (IsSeparator(t[i - 1])) return i;
    return 0;
  };

  const std::size_t l = lastSeparator;
  std::size_t c = 0;
  if (l == 0) {
    if (IsDriveRooted(t)) {
      std::size_t colon = t.find(u':', p - 1);
      c = colon == TextView::npos ? 0 : colon + 1;
      if (c == n) c = 0;
    }
  } else if (IsUncRooted(t)) {
    std::size_t s = hasPrefix ? p : p + 2;
    std::size_t server = findSeparatorFrom(s + 1);
    std::size_t share = server == 0 ? 0 : findSeparatorFrom(server + 1);
    c = (server != 0 && share != 0) ? l - 1 : 0;
  } else if (IsDriveRooted(t)) {
    if (l >= 2 && t[l - 2] == u':') {
      c = hasPrefix ? l - 1 : (l < n ? l : 0);
    } else {
      c = p < l ? l - 1 : 0;
    }
  } else if (hasPrefix) {
    c = 0;
  } else if (p == l) {
    c = l < n ? 1 : 0;
  } else {
    c = l - 1;
  }
  return Text(t.substr(0, c));
}

}  // namespace hq2hd
