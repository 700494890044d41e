#include "platform/posix/ErrnoTable.h"

#include <array>
#include <cerrno>

#include "platform/Platform.h"

namespace hq2hd::platform::posix {
namespace {

struct ErrnoRow {
  int errnum;
  std::uint32_t code;
};

// Looked up from the top in both directions: the first row for an errno gives
// its code, and the first row for a code gives the errno whose text describes
// it. So where several errno values share a code, the best-worded one comes
// first.
constexpr std::array kRows{
    ErrnoRow{0, error::Success},
    ErrnoRow{ENOENT, error::FileNotFound},
    // ENOENT becomes 3 only when a directory on the way is missing, which the
    // caller decides; this row lets 3 read as "No such file or directory".
    ErrnoRow{ENOENT, error::PathNotFound},
    ErrnoRow{ENOTDIR, error::PathNotFound},
    ErrnoRow{EMFILE, error::TooManyOpenFiles},
    ErrnoRow{ENFILE, error::TooManyOpenFiles},
    ErrnoRow{EACCES, error::AccessDenied},
    ErrnoRow{EPERM, error::AccessDenied},
    ErrnoRow{EISDIR, error::AccessDenied},
    ErrnoRow{EBADF, error::InvalidHandle},
    ErrnoRow{ENOMEM, error::NotEnoughMemory},
    ErrnoRow{EXDEV, error::NotSameDevice},
    ErrnoRow{EROFS, error::WriteProtect},
    ErrnoRow{EBUSY, error::SharingViolation},
    ErrnoRow{ETXTBSY, error::SharingViolation},
    ErrnoRow{EOPNOTSUPP, error::NotSupported},
    ErrnoRow{ENOSYS, error::NotSupported},
    ErrnoRow{EEXIST, error::FileExists},
    ErrnoRow{EINVAL, error::InvalidParameter},
    ErrnoRow{EPIPE, error::BrokenPipe},
    ErrnoRow{ENOSPC, error::DiskFull},
    ErrnoRow{EDQUOT, error::DiskFull},
    ErrnoRow{ENOTEMPTY, error::DirNotEmpty},
    ErrnoRow{ENAMETOOLONG, error::FilenameTooLong},
    ErrnoRow{EFBIG, error::FileTooLarge},
    ErrnoRow{EILSEQ, error::NoUnicodeTranslation},
    ErrnoRow{EIO, error::IoDevice},
    ErrnoRow{ELOOP, error::CantResolveFilename},
};

}  // namespace

std::uint32_t WindowsErrorFromErrno(int errnum) {
  for (const ErrnoRow& row : kRows)
    if (row.errnum == errnum) return row.code;
  return error::GenFailure;
}

std::optional<int> ErrnoFromWindowsError(std::uint32_t code) {
  for (const ErrnoRow& row : kRows)
    if (row.code == code) return row.errnum;
  return std::nullopt;
}

}  // namespace hq2hd::platform::posix
