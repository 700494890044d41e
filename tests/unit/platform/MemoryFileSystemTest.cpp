// The in-memory file system answers the program's file calls as the POSIX
// backend does on a real folder: every call of the table on every kind of
// name, with the same result and the same last error.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/Platform.h"
#include "support/MemoryFileSystem.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

namespace fs = std::filesystem;
using namespace platform;

// The folder both sides start from: a file, a read-only file, a folder with
// a file in it, an empty folder, and links to a file, a folder and nothing.
void Arrange(const fs::path& folder) {
  WriteBytes(folder / "a.txt", "abc");
  WriteBytes(folder / "ro.txt", "ro");
  fs::permissions(folder / "ro.txt", fs::perms::owner_read);
  fs::create_directory(folder / "dir");
  WriteBytes(folder / "dir" / "in.txt", "in");
  fs::create_directory(folder / "empty");
  fs::create_symlink("a.txt", folder / "link");
  fs::create_symlink("dir", folder / "dirlink");
  fs::create_symlink("missing", folder / "nowhere");
}

void Arrange(MemoryFileSystem& files, const Text& folder) {
  files.MakeFolders(folder + u"dir");
  files.MakeFolders(folder + u"empty");
  files.PutFile(folder + u"a.txt", "abc");
  files.PutFile(folder + u"ro.txt", "ro", true);
  files.PutFile(folder + u"dir/in.txt", "in");
  files.PutLink(folder + u"link", u"a.txt");
  files.PutLink(folder + u"dirlink", u"dir");
  files.PutLink(folder + u"nowhere", u"missing");
}

const char* const names[] = {"a.txt",   "ro.txt",  "dir",     "empty",     "link",
                             "dirlink", "nowhere", "missing", "missing/x", "a.txt/x"};

// A call on a name in the folder, as "result, last error".
struct Call {
  const char* name;
  std::function<std::string(Platform&, const Text& folder, const Text& name)> make;
};

std::string Outcome(Platform& os, std::uint64_t result) {
  return std::to_string(result) + ", error " + std::to_string(os.LastError());
}

std::string Opened(Platform& os, Handle handle) {
  const std::string outcome = Outcome(os, handle != InvalidHandle);
  if (handle != InvalidHandle) os.CloseHandle(handle);
  return outcome;
}

const Call calls[] = {
    {"FileAttributes", [](Platform& os, const Text&,
                          const Text& name) { return Outcome(os, os.FileAttributes(name)); }},
    {"DeleteFile",
     [](Platform& os, const Text&, const Text& name) { return Outcome(os, os.DeleteFile(name)); }},
    {"RemoveDirectory", [](Platform& os, const Text&,
                           const Text& name) { return Outcome(os, os.RemoveDirectory(name)); }},
    {"MoveOver",
     [](Platform& os, const Text& folder, const Text& name) {
       const std::string moved = Outcome(os, os.MoveFileReplacing(folder + u"a.txt", name));
       os.SetLastError(0);
       return moved + "; " + Outcome(os, os.FileAttributes(folder + u"a.txt"));
     }},
    {"MoveAway",
     [](Platform& os, const Text& folder, const Text& name) {
       const std::string moved = Outcome(os, os.MoveFileReplacing(name, folder + u"new.txt"));
       os.SetLastError(0);
       return moved + "; " + Outcome(os, os.FileAttributes(folder + u"new.txt"));
     }},
    {"OpenForReading",
     [](Platform& os, const Text&, const Text& name) {
       return Opened(os, os.CreateFile(name, GenericRead, FileShareRead, OpenExisting, 0));
     }},
    {"OpenFolder",
     [](Platform& os, const Text&, const Text& name) {
       return Opened(os, os.CreateFile(name, GenericRead, FileShareRead, OpenExisting,
                                       FileFlagBackupSemantics));
     }},
    {"CreateNew",
     [](Platform& os, const Text&, const Text& name) {
       return Opened(os, os.CreateFile(name, GenericRead | GenericWrite, 0, CreateNew, 0));
     }},
    {"CreateAlways",
     [](Platform& os, const Text&, const Text& name) {
       return Opened(os, os.CreateFile(name, GenericWrite, 0, CreateAlways, 0));
     }},
    {"FlushFolder",
     [](Platform& os, const Text&, const Text& name) { return Outcome(os, os.FlushFolder(name)); }},
    {"ResolveLink",
     [](Platform& os, const Text&, const Text& name) {
       Text target;
       const bool resolved = os.ResolveLink(name, target);
       return Outcome(os, resolved) + " " + fs::path(target).string();
     }},
};

class MemoryFileSystemTest : public ::testing::TestWithParam<Call> {};

TEST_P(MemoryFileSystemTest, AnswersAsThePosixBackend) {
  for (const char* leaf : names) {
    // Root may write a file without write permission; the program and
    // Windows may not, and the memory refuses it as Windows does.
    const bool writes = std::string(GetParam().name).starts_with("Create");
    if (writes && std::string(leaf) == "ro.txt") continue;
    TempDir dir;
    Arrange(dir.Path());
    const Text folder = dir.Name("");
    const Text name = folder + ToText(leaf);
    // A call that succeeds leaves the last error alone, or sets it itself.
    NativePlatform().SetLastError(0);
    const std::string real = GetParam().make(NativePlatform(), folder, name);

    MemoryFileSystem files(NativePlatform());
    Arrange(files, folder);
    files.SetLastError(0);
    const std::string memory = GetParam().make(files, folder, name);
    EXPECT_EQ(memory, real) << GetParam().name << " on " << leaf;
    std::error_code movedAway;
    fs::permissions(dir.Path() / "ro.txt", fs::perms::owner_all, movedAway);
  }
}

INSTANTIATE_TEST_SUITE_P(Calls, MemoryFileSystemTest, ::testing::ValuesIn(calls),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
#endif
