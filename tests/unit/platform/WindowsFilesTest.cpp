// The Windows backend's file calls, run for real (under Wine on Linux hosts).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace hq2hd::platform {
namespace {

Text TestDirectory() {
  const Text module = NativePlatform().ModuleFileName();
  return module.substr(0, module.find_last_of(u"\\") + 1);
}

class OpenFile {
 public:
  explicit OpenFile(Handle handle) : handle_(handle) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (valid()) NativePlatform().CloseHandle(handle_);
  }
  bool valid() const { return handle_ != InvalidHandle; }
  Handle get() const { return handle_; }

 private:
  Handle handle_;
};

// Leaves no file behind, whichever assertion ends the test.
class ScratchFile {
 public:
  explicit ScratchFile(Text name) : path_(TestDirectory() + name) {}
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() { NativePlatform().DeleteFile(path_); }
  const Text& path() const { return path_; }

 private:
  Text path_;
};

void WriteWhole(const Text& path, const std::string& bytes) {
  Platform& os = NativePlatform();
  const OpenFile file(
      os.CreateFile(path, GenericRead | GenericWrite, 0, CreateAlways, FileAttributeNormal));
  ASSERT_TRUE(file.valid()) << os.LastError();
  std::uint32_t done = 0;
  ASSERT_TRUE(
      os.WriteFile(file.get(), bytes.data(), static_cast<std::uint32_t>(bytes.size()), done));
  EXPECT_EQ(done, bytes.size());
}

std::string ReadWhole(const Text& path) {
  Platform& os = NativePlatform();
  const OpenFile file(
      os.CreateFile(path, GenericRead, FileShareRead, OpenExisting, FileAttributeNormal));
  EXPECT_TRUE(file.valid()) << os.LastError();
  if (!file.valid()) return {};
  std::uint64_t size = 0;
  EXPECT_TRUE(os.FileSize(file.get(), size));
  std::string bytes(size, '\0');
  std::uint32_t done = 0;
  EXPECT_TRUE(os.ReadFile(file.get(), bytes.data(), static_cast<std::uint32_t>(size), done));
  bytes.resize(done);
  return bytes;
}

struct FailedOpen {
  const char* label;
  Text name;
  std::uint32_t disposition;
  std::uint32_t expectedError;
};

class WindowsCreateFileFailure : public testing::TestWithParam<FailedOpen> {};

TEST_P(WindowsCreateFileFailure, ReturnsInvalidHandleAndSetsTheSystemCode) {
  Platform& os = NativePlatform();
  os.SetLastError(0);
  const OpenFile file(os.CreateFile(TestDirectory() + GetParam().name, GenericRead, FileShareRead,
                                    GetParam().disposition, FileAttributeNormal));
  EXPECT_FALSE(file.valid());
  EXPECT_EQ(os.LastError(), GetParam().expectedError);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowsCreateFileFailure,
    testing::Values(FailedOpen{"MissingFile", u"no-such-file.txt", OpenExisting, 2},
                    FailedOpen{"MissingDirectory", u"no-such-dir\\file.txt", OpenExisting, 3},
                    FailedOpen{"CreateInMissingDirectory", u"no-such-dir\\file.txt", CreateAlways,
                               3},
                    FailedOpen{"InvalidName", u"bad|name.txt", CreateAlways, 123}),
    [](const testing::TestParamInfo<FailedOpen>& info) { return info.param.label; });

TEST(WindowsFiles, JapaneseNameRoundTripsThroughCreateFindAndDelete) {
  Platform& os = NativePlatform();
  const ScratchFile file(u"\u65E5\u672C\u8A9E\u30C6\u30B9\u30C8.txt");
  const std::string bytes = "\x82\xA0\r\nhq\r\n";
  WriteWhole(file.path(), bytes);

  EXPECT_EQ(ReadWhole(file.path()), bytes);
  std::uint32_t attributes = 0;
  ASSERT_TRUE(os.FindFirstEntry(file.path(), attributes)) << os.LastError();
  EXPECT_EQ(attributes & FileAttributeDirectory, 0u);
  FileAttributeData data;
  ASSERT_TRUE(os.FileAttributesEx(file.path(), data)) << os.LastError();
  EXPECT_EQ(data.size, bytes.size());
  EXPECT_NE(data.lastWrite.ticks, 0u);

  ASSERT_TRUE(os.DeleteFile(file.path())) << os.LastError();
  EXPECT_EQ(os.FileAttributes(file.path()), InvalidFileAttributes);
  EXPECT_EQ(os.LastError(), error::FileNotFound);
}

TEST(WindowsFiles, FileSizeKeepsTheCurrentPosition) {
  Platform& os = NativePlatform();
  const ScratchFile file(u"size-keeps-position.txt");
  WriteWhole(file.path(), "abcdef");
  const OpenFile open(
      os.CreateFile(file.path(), GenericRead, FileShareRead, OpenExisting, FileAttributeNormal));
  ASSERT_TRUE(open.valid());
  char first[2] = {};
  std::uint32_t done = 0;
  ASSERT_TRUE(os.ReadFile(open.get(), first, 2, done));
  std::uint64_t size = 0;
  ASSERT_TRUE(os.FileSize(open.get(), size));
  EXPECT_EQ(size, 6u);
  char next = 0;
  ASSERT_TRUE(os.ReadFile(open.get(), &next, 1, done));
  EXPECT_EQ(next, 'c');
}

TEST(WindowsFiles, MoveReplacesAnExistingTarget) {
  Platform& os = NativePlatform();
  const ScratchFile source(u"move-source.txt");
  const ScratchFile target(u"move-target.txt");
  WriteWhole(source.path(), "new");
  WriteWhole(target.path(), "old contents");
  ASSERT_TRUE(os.MoveFileReplacing(source.path(), target.path())) << os.LastError();
  EXPECT_EQ(ReadWhole(target.path()), "new");
  EXPECT_EQ(os.FileAttributes(source.path()), InvalidFileAttributes);
}

TEST(WindowsFiles, SetFileTimesWritesTheGivenTimeAndKeepsAZeroOne) {
  Platform& os = NativePlatform();
  const ScratchFile file(u"times.txt");
  WriteWhole(file.path(), "t");
  FileAttributeData before;
  ASSERT_TRUE(os.FileAttributesEx(file.path(), before));
  // 2001-02-03 04:05:06 UTC.
  const FileTime lastWrite{126257619060000000ull};
  {
    const OpenFile open(os.CreateFile(file.path(), GenericRead | GenericWrite, 0, OpenExisting,
                                      FileAttributeNormal));
    ASSERT_TRUE(open.valid());
    const FileTime unchanged{};
    ASSERT_TRUE(os.SetFileTimes(open.get(), nullptr, &unchanged, &lastWrite)) << os.LastError();
  }
  FileAttributeData after;
  ASSERT_TRUE(os.FileAttributesEx(file.path(), after));
  EXPECT_EQ(after.lastWrite, lastWrite);
  EXPECT_EQ(after.lastAccess, before.lastAccess);
}

TEST(WindowsFiles, DeletingAndRemovingMissingEntriesReportFileNotFound) {
  Platform& os = NativePlatform();
  EXPECT_FALSE(os.DeleteFile(TestDirectory() + u"no-such-file.txt"));
  EXPECT_EQ(os.LastError(), error::FileNotFound);
  std::uint32_t attributes = 0;
  EXPECT_FALSE(os.FindFirstEntry(TestDirectory() + u"no-such-file.txt", attributes));
  EXPECT_EQ(os.LastError(), error::FileNotFound);
}

TEST(WindowsFiles, FullPathNameMeasuresThenFills) {
  Platform& os = NativePlatform();
  const Text expected = TestDirectory() + u"x.txt";
  const Text relative = expected.substr(0, 2) + u"\\..\\" + expected.substr(3);
  const std::uint32_t needed = os.FullPathName(relative, 0, nullptr);
  EXPECT_EQ(needed, expected.size() + 1);
  std::vector<char16_t> buffer(needed);
  EXPECT_EQ(os.FullPathName(relative, needed, buffer.data()), expected.size());
  EXPECT_EQ(Text(buffer.data()), expected);
}

}  // namespace
}  // namespace hq2hd::platform

#endif  // _WIN32
