// Test equipment for the end-to-end tests under Wine: holds a file open with a
// chosen access and sharing mode while the program runs, so that the program
// meets a sharing violation exactly as it would on Windows.
//
// Usage: HoldFile <path> <r|rw> <none|r|rw>
// Prints "ready" once the file is open, then keeps it open until a line or
// the end of its standard input arrives.
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "platform/UniqueHandle.h"

namespace {

namespace os = hq2hd::platform;

std::optional<std::uint32_t> AccessFromArgument(std::wstring_view argument) {
  if (argument == L"r") return os::GenericRead;
  if (argument == L"rw") return os::GenericRead | os::GenericWrite;
  return std::nullopt;
}

std::optional<std::uint32_t> ShareFromArgument(std::wstring_view argument) {
  if (argument == L"none") return 0;
  if (argument == L"r") return os::FileShareRead;
  if (argument == L"rw") return os::FileShareRead | os::FileShareWrite;
  return std::nullopt;
}

hq2hd::Text ToText(std::wstring_view wide) {
  // wchar_t is a UTF-16 unit on Windows, the only target of this tool.
  return hq2hd::Text(wide.begin(), wide.end());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const auto access = argc == 4 ? AccessFromArgument(argv[2]) : std::nullopt;
  const auto share = argc == 4 ? ShareFromArgument(argv[3]) : std::nullopt;
  if (!access || !share) {
    std::cerr << "usage: HoldFile <path> <r|rw> <none|r|rw>\n";
    return 2;
  }

  const os::UniqueHandle held(os::Os().CreateFile(ToText(argv[1]), *access, *share,
                                                  os::OpenExisting, os::FileAttributeNormal));
  if (!held) {
    std::cout << "error " << os::Os().LastError() << std::endl;
    return 1;
  }

  std::cout << "ready" << std::endl;
  std::string line;
  std::getline(std::cin, line);
  return 0;
}
