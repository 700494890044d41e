#include "app/ProgramDirectory.h"

#include "platform/Platform.h"

namespace hq2hd {

Text ProgramDirectory() {
  Text name = platform::Os().ModuleFileName();
  std::size_t last = name.find_last_of(u"\\:/");
  return last == Text::npos ? Text() : name.substr(0, last + 1);
}

}  // namespace hq2hd
