#include "report/ConsoleOut.h"

#include <cstring>
#include <string>

#include "report/IoFailure.h"

namespace hq2hd {

using namespace platform;

ConsoleOut& ConsoleOut::Instance() {
  static ConsoleOut instance;
  return instance;
}

bool ConsoleOut::EnsureOpen() {
  if (open_) return true;
  position_ = 0;
  handle_ = Os().StdHandle(StdStream::Output);
  if (codePage_ == 0) {
    codePage_ = Os().HandleFileType(handle_) == FileType::Char ? Os().ConsoleOutputCodePage()
                                                               : Os().AnsiCodePage();
  }
  FileType type = Os().HandleFileType(handle_);
  if (type == FileType::Unknown) {
    IoStatus::Set(iocode::NoStandardOutput);
    return false;
  }
  console_ = type == FileType::Char;
  open_ = true;
  return true;
}

std::int32_t ConsoleOut::Flush() {
  if (!open_ || position_ == 0) return 0;
  std::uint32_t done = 0;
  bool ok = Os().WriteFile(handle_, buffer_.data(), static_cast<std::uint32_t>(position_), done);
  position_ = 0;
  return ok ? 0 : static_cast<std::int32_t>(Os().LastError());
}

void ConsoleOut::AppendBytes(const char* bytes, std::size_t count) {
  while (count >= BufferSize - position_) {
    std::size_t part = BufferSize - position_;
    std::memcpy(buffer_.data() + position_, bytes, part);
    position_ = BufferSize;
    bytes += part;
    count -= part;
    if (std::int32_t code = Flush(); code != 0) {
      IoStatus::Set(code);
      return;
    }
  }
  std::memcpy(buffer_.data() + position_, bytes, count);
  position_ += count;
}

void ConsoleOut::WriteText(TextView text) {
  if (text.empty() || !EnsureOpen()) return;
  const int units = static_cast<int>(text.size());
  // Report lines are short: convert on the stack, so that reporting that
  // memory ran out needs no memory.
  std::array<char, 1024> local;
  int needed = Os().WideCharToMultiByte(codePage_, 0, text.data(), units, nullptr, 0);
  if (needed <= 0) return;
  if (static_cast<std::size_t>(needed) <= local.size()) {
    int written = Os().WideCharToMultiByte(codePage_, 0, text.data(), units, local.data(), needed);
    AppendBytes(local.data(), static_cast<std::size_t>(written > 0 ? written : 0));
    return;
  }
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  int written = Os().WideCharToMultiByte(codePage_, 0, text.data(), units, bytes.data(), needed);
  AppendBytes(bytes.data(), static_cast<std::size_t>(written > 0 ? written : 0));
}

void ConsoleOut::WriteLineEnd() {
  if (!EnsureOpen()) return;
  AppendBytes("\r\n", 2);
  if (console_) {
    if (std::int32_t code = Flush(); code != 0) IoStatus::Set(code);
  }
}

void ConsoleOut::CloseAtExit() {
  Flush();
  open_ = false;
}

void WriteFailureReport(const char* className, TextView message) {
  ConsoleOut& out = ConsoleOut::Instance();
  // Class names are ASCII; widened on the stack, like the conversion, so that
  // reporting that memory ran out needs no memory.
  std::array<char16_t, 64> name{};
  std::size_t length = 0;
  for (; className[length] != '\0' && length < name.size(); ++length)
    name[length] = static_cast<unsigned char>(className[length]);
  out.WriteText(TextView(name.data(), length));
  out.WriteText(u": ");
  out.WriteText(message);
  out.WriteLineEnd();
  // The line goes out now on every kind of output, not at process end: a line
  // that cannot be written (a pipe without a reader, a full disk) must not
  // look like a silent success to the host.
  if (const std::int32_t code = out.Flush(); code != 0 && IoStatus::Peek() == 0)
    IoStatus::Set(code);
  CheckIo();
}

}  // namespace hq2hd
