#include "app/ProgramDirectory.h"

#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "report/OsMessage.h"

namespace hq2hd {

Text ProgramDirectory() {
  auto& os = platform::Os();
  Text name = os.ModuleFileName();
  if (name.empty()) RaiseLastOsError();
  // A cut name may end inside the folder's own name, and its directory part
  // would then be another folder, with another host's work file in it.
  if (os.LastError() == platform::error::InsufficientBuffer)
    throw EPathTooLongException(Text(catalogue::PathTooLong));
  std::size_t last = name.find_last_of(u"\\:/");
  return last == Text::npos ? Text() : name.substr(0, last + 1);
}

}  // namespace hq2hd
