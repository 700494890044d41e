#include "fs/FileTimes.h"

#include "fs/FileExists.h"
#include "fs/PathChecks.h"
#include "platform/UniqueHandle.h"
#include "report/Exception.h"

namespace hq2hd {

using namespace platform;

FileTimesResult QueryFileTimes(TextView path, bool followLinks) {
  FileTimesResult result;
  Os().SetLastError(0);
  FileAttributeData data;
  if (!Os().FileAttributesEx(path, data)) return result;
  if ((data.attributes & FileAttributeReparsePoint) != 0) {
    if (!followLinks) return result;
    LinkTarget link = ResolveLinkTarget(path);
    if (!link.found || !Os().FileAttributesEx(link.target, data)) return result;
  }
  result.found = true;
  result.creation = FileTimeToLocalDateTime(data.creation);
  result.lastAccess = FileTimeToLocalDateTime(data.lastAccess);
  result.lastWrite = FileTimeToLocalDateTime(data.lastWrite);
  return result;
}

LocalDateTime ReadCreationTime(TextView path) {
  ValidatePath(path, true);
  return QueryFileTimes(path, true).creation;
}

LocalDateTime ReadLastAccessTime(TextView path) {
  ValidatePath(path, true);
  return QueryFileTimes(path, true).lastAccess;
}

LocalDateTime ReadLastWriteTime(TextView path) {
  ValidatePath(path, true);
  return QueryFileTimes(path, true).lastWrite;
}

void WriteFileTimes(TextView path, std::optional<LocalDateTime> creation,
                    std::optional<LocalDateTime> lastAccess,
                    std::optional<LocalDateTime> lastWrite) {
  try {
    auto convert = [](const std::optional<LocalDateTime>& time) {
      return time ? std::optional<FileTime>(LocalDateTimeToFileTime(*time)) : std::nullopt;
    };
    std::optional<FileTime> creationTime = convert(creation);
    std::optional<FileTime> accessTime = convert(lastAccess);
    std::optional<FileTime> writeTime = convert(lastWrite);

    Os().SetLastError(0);
    std::uint32_t attributes = ReadFileAttributes(path);
    std::uint32_t flags = (attributes & FileAttributeDirectory) != 0 ? FileFlagBackupSemantics
                                                                     : FileAttributeNormal;
    UniqueHandle file(Os().CreateFile(path, GenericWrite, FileShareWrite, OpenExisting, flags));
    if (file) {
      Os().SetFileTimes(file.Get(), creationTime ? &*creationTime : nullptr,
                        accessTime ? &*accessTime : nullptr, writeTime ? &*writeTime : nullptr);
      file.Close();
    }
    Os().SetLastError(0);
  } catch (const EConvertError& failure) {
    Os().SetLastError(0);
    throw EArgumentOutOfRangeException(failure.Message());
  } catch (...) {
    Os().SetLastError(0);
    throw;
  }
}

void WriteCreationTime(TextView path, const LocalDateTime& time) {
  ValidatePath(path, true);
  WriteFileTimes(path, time, std::nullopt, std::nullopt);
}

void WriteLastAccessTime(TextView path, const LocalDateTime& time) {
  ValidatePath(path, true);
  WriteFileTimes(path, std::nullopt, time, std::nullopt);
}

void WriteLastWriteTime(TextView path, const LocalDateTime& time) {
  ValidatePath(path, true);
  WriteFileTimes(path, std::nullopt, std::nullopt, time);
}

}  // namespace hq2hd
