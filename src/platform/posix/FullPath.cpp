#include "platform/posix/FullPath.h"

#include <vector>

namespace hq2hd::platform::posix {
namespace {

void AppendComponents(TextView path, std::vector<TextView>& components) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t stop = path.find(u'/', start);
    if (stop == TextView::npos) stop = path.size();
    const TextView component = path.substr(start, stop - start);
    if (component == u"..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != u".") {
      components.push_back(component);
    }
    start = stop + 1;
  }
}

}  // namespace

Text MakeFullPath(TextView name, TextView currentDirectory) {
  std::vector<TextView> components;
  if (name.empty() || name.front() != u'/') AppendComponents(currentDirectory, components);
  AppendComponents(name, components);

  Text full;
  for (TextView component : components) {
    full += u'/';
    full += component;
  }
  if (full.empty() || (!name.empty() && name.back() == u'/')) full += u'/';
  return full;
}

}  // namespace hq2hd::platform::posix
