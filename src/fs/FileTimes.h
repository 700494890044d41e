#pragma once
// Reading and writing the creation, last-access and last-write times of a file.
#include <optional>

#include "fs/LocalDateTime.h"
#include "platform/Text.h"

namespace hq2hd {

struct FileTimesResult {
  bool found = false;
  LocalDateTime creation, lastAccess, lastWrite;
};

FileTimesResult QueryFileTimes(TextView path, bool followLinks);

// Each validates the path as one that must exist; an unreadable time is Zero().
LocalDateTime ReadCreationTime(TextView path);
LocalDateTime ReadLastAccessTime(TextView path);
LocalDateTime ReadLastWriteTime(TextView path);

// A file that cannot be opened for the purpose, or times the platform
// refuses, are passed over silently.
void WriteFileTimes(TextView path, std::optional<LocalDateTime> creation,
                    std::optional<LocalDateTime> lastAccess,
                    std::optional<LocalDateTime> lastWrite);

void WriteCreationTime(TextView path, const LocalDateTime& time);
void WriteLastAccessTime(TextView path, const LocalDateTime& time);
void WriteLastWriteTime(TextView path, const LocalDateTime& time);

}  // namespace hq2hd
