#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/posix/NameCodec.h"

namespace hq2hd::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kReadWrite = GenericRead | GenericWrite;
constexpr std::uint32_t kArchive = 0x20;
constexpr std::uint32_t kReadOnly = 0x1;

// A fresh directory per test, removed with everything in it afterwards.
class PosixFiles : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("hq2hd-posix-" + std::to_string(seed()));
    fs::create_directory(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_ / "readonly.txt", fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }

  fs::path At(const std::string& name) const { return dir_ / name; }
  Text Name(const std::string& name) const { return posix::DecodeName(At(name).string()); }
  void WriteBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream(At(name), std::ios::binary) << bytes;
  }
  std::string ReadBytes(const std::string& name) const {
    std::ifstream in(At(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Exists(const std::string& name) const {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(At(name), ignored));
  }
  // Files, a read-only file, a directory and links of each kind.
  void MakeTree() const {
    WriteBytes("file.txt", "hq\r\n");
    WriteBytes("readonly.txt", "x");
    fs::permissions(At("readonly.txt"), fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(At("sub"));
    WriteBytes("sub/inner.txt", "inner");
    fs::create_symlink(At("file.txt"), At("filelink"));
    fs::create_directory_symlink(At("sub"), At("dirlink"));
    fs::create_symlink(At("nowhere"), At("dangling"));
  }

  Platform& os = NativePlatform();
  fs::path dir_;
};

struct OpenFailureCase {
  const char* name;
  std::uint32_t access;
  std::uint32_t disposition;
  std::uint32_t flags;
  std::uint32_t error;
};

class CreateFileFailures : public PosixFiles,
                           public testing::WithParamInterface<OpenFailureCase> {};

TEST_P(CreateFileFailures, FailWithTheWindowsCode) {
  MakeTree();
  const OpenFailureCase& c = GetParam();
  const Text name = *c.name == '\0' ? Text() : Name(c.name);
  os.SetLastError(0);
  EXPECT_EQ(os.CreateFile(name, c.access, FileShareRead, c.disposition, c.flags), InvalidHandle);
  EXPECT_EQ(os.LastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CreateFileFailures,
    testing::Values(
        OpenFailureCase{"missing.txt", GenericRead, OpenExisting, FileAttributeNormal, 2},
        OpenFailureCase{"nodir/file.txt", GenericRead, OpenExisting, FileAttributeNormal, 3},
        OpenFailureCase{"nodir/file.txt", kReadWrite, CreateAlways, FileAttributeNormal, 3},
        OpenFailureCase{"file.txt/x", GenericRead, OpenExisting, FileAttributeNormal, 3},
        OpenFailureCase{"dangling", GenericRead, OpenExisting, FileAttributeNormal, 2},
        OpenFailureCase{"sub", GenericRead, OpenExisting, FileAttributeNormal, 5},
        OpenFailureCase{"sub", GenericWrite, OpenExisting, FileAttributeNormal, 5},
        OpenFailureCase{"sub", kReadWrite, CreateAlways, FileAttributeNormal, 5},
        OpenFailureCase{"dirlink", GenericRead, OpenExisting, FileAttributeNormal, 5},
        OpenFailureCase{"", GenericRead, OpenExisting, FileAttributeNormal, 3},
        OpenFailureCase{"file.txt", GenericRead, 9, FileAttributeNormal, 87}));

TEST_F(PosixFiles, ADirectoryOpensWithBackupSemantics) {
  MakeTree();
  for (const char* name : {"sub", "dirlink"}) {
    const Handle handle = os.CreateFile(Name(name), kReadWrite, FileShareWrite, OpenExisting,
                                        FileFlagBackupSemantics);
    ASSERT_NE(handle, InvalidHandle) << name;
    EXPECT_EQ(os.HandleFileType(handle), FileType::Disk);
    std::uint64_t size = 99;
    EXPECT_TRUE(os.FileSize(handle, size));
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(os.CloseHandle(handle));
  }
}

TEST_F(PosixFiles, WrittenBytesReadBackBlockByBlock) {
  const Handle out =
      os.CreateFile(Name("data.bin"), kReadWrite, 0, CreateAlways, FileAttributeNormal);
  ASSERT_NE(out, InvalidHandle);
  EXPECT_EQ(os.LastError(), 0u);
  std::string bytes(10'000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  std::uint32_t done = 0;
  ASSERT_TRUE(os.WriteFile(out, bytes.data(), 10'000, done));
  EXPECT_EQ(done, 10'000u);
  ASSERT_TRUE(os.WriteFile(out, bytes.data(), 0, done));
  EXPECT_EQ(done, 0u);
  ASSERT_TRUE(os.CloseHandle(out));
  EXPECT_EQ(ReadBytes("data.bin"), bytes);

  const Handle in = os.CreateFile(Name("data.bin"), GenericRead, FileShareRead, OpenExisting,
                                  FileAttributeNormal);
  ASSERT_NE(in, InvalidHandle);
  std::uint64_t size = 0;
  ASSERT_TRUE(os.FileSize(in, size));
  EXPECT_EQ(size, 10'000u);
  char block[4096];
  std::string back;
  std::vector<std::uint32_t> counts;
  do {
    ASSERT_TRUE(os.ReadFile(in, block, sizeof block, done));
    counts.push_back(done);
    back.append(block, done);
  } while (done != 0);
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{4096, 4096, 1808, 0}));
  EXPECT_EQ(back, bytes);
  EXPECT_TRUE(os.CloseHandle(in));
}

TEST_F(PosixFiles, CreateAlwaysEmptiesAnExistingFileAndSaysSo) {
  WriteBytes("old.txt", "old content");
  os.SetLastError(0);
  const Handle handle =
      os.CreateFile(Name("old.txt"), kReadWrite, 0, CreateAlways, FileAttributeNormal);
  ASSERT_NE(handle, InvalidHandle);
  EXPECT_EQ(os.LastError(), error::AlreadyExists);
  EXPECT_TRUE(os.CloseHandle(handle));
  EXPECT_EQ(ReadBytes("old.txt"), "");

  os.SetLastError(77);
  const Handle fresh =
      os.CreateFile(Name("new.txt"), kReadWrite, 0, CreateAlways, FileAttributeNormal);
  ASSERT_NE(fresh, InvalidHandle);
  EXPECT_EQ(os.LastError(), 0u);
  EXPECT_TRUE(os.CloseHandle(fresh));
  EXPECT_TRUE(fs::exists(At("new.txt")));
}

TEST_F(PosixFiles, TransfersAgainstTheHandleDirectionAreDenied) {
  WriteBytes("file.txt", "abc");
  const Handle reader = os.CreateFile(Name("file.txt"), GenericRead, FileShareRead, OpenExisting,
                                      FileAttributeNormal);
  ASSERT_NE(reader, InvalidHandle);
  std::uint32_t done = 5;
  EXPECT_FALSE(os.WriteFile(reader, "x", 1, done));
  EXPECT_EQ(os.LastError(), error::AccessDenied);
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(os.CloseHandle(reader));
  EXPECT_EQ(ReadBytes("file.txt"), "abc");
}

TEST_F(PosixFiles, ClosedAndInvalidHandlesAreInvalid) {
  WriteBytes("file.txt", "abc");
  const Handle handle = os.CreateFile(Name("file.txt"), GenericRead, FileShareRead, OpenExisting,
                                      FileAttributeNormal);
  ASSERT_NE(handle, InvalidHandle);
  ASSERT_TRUE(os.CloseHandle(handle));
  for (const Handle bad : {handle, InvalidHandle}) {
    char byte;
    std::uint32_t done = 0;
    os.SetLastError(0);
    EXPECT_FALSE(os.CloseHandle(bad));
    EXPECT_EQ(os.LastError(), error::InvalidHandle);
    os.SetLastError(0);
    EXPECT_FALSE(os.ReadFile(bad, &byte, 1, done));
    EXPECT_EQ(os.LastError(), error::InvalidHandle);
    os.SetLastError(0);
    EXPECT_EQ(os.HandleFileType(bad), FileType::Unknown);
    EXPECT_EQ(os.LastError(), error::InvalidHandle);
  }
}

struct AttributeCase {
  const char* name;
  std::uint32_t attributes;  // InvalidFileAttributes: fails with `error`
  std::uint32_t error;
};

class Attributes : public PosixFiles, public testing::WithParamInterface<AttributeCase> {};

TEST_P(Attributes, AgreeAcrossTheThreeQueries) {
  MakeTree();
  const AttributeCase& c = GetParam();
  const bool present = c.attributes != InvalidFileAttributes;
  const std::uint32_t expectedError = present ? 0 : c.error;

  os.SetLastError(0);
  EXPECT_EQ(os.FileAttributes(Name(c.name)), c.attributes);
  EXPECT_EQ(os.LastError(), expectedError);

  FileAttributeData data;
  os.SetLastError(0);
  EXPECT_EQ(os.FileAttributesEx(Name(c.name), data), present);
  EXPECT_EQ(os.LastError(), expectedError);
  EXPECT_EQ(data.attributes, present ? c.attributes : 0u);

  std::uint32_t found = 0;
  os.SetLastError(0);
  EXPECT_EQ(os.FindFirstEntry(Name(c.name), found), present);
  EXPECT_EQ(os.LastError(), expectedError);
  EXPECT_EQ(found, present ? c.attributes : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Attributes,
    testing::Values(AttributeCase{"file.txt", kArchive, 0},
                    AttributeCase{"readonly.txt", kArchive | kReadOnly, 0},
                    AttributeCase{"sub", FileAttributeDirectory, 0},
                    AttributeCase{"filelink", FileAttributeReparsePoint, 0},
                    AttributeCase{"dirlink", FileAttributeReparsePoint | FileAttributeDirectory, 0},
                    AttributeCase{"dangling", FileAttributeReparsePoint, 0},
                    AttributeCase{"missing", InvalidFileAttributes, 2},
                    AttributeCase{"nodir/missing", InvalidFileAttributes, 3},
                    AttributeCase{"file.txt/x", InvalidFileAttributes, 3}));

TEST_F(PosixFiles, AttributeDataCarriesTheSize) {
  MakeTree();
  FileAttributeData data;
  ASSERT_TRUE(os.FileAttributesEx(Name("file.txt"), data));
  EXPECT_EQ(data.size, 4u);
  ASSERT_TRUE(os.FileAttributesEx(Name("sub"), data));
  EXPECT_EQ(data.size, 0u);
}

struct DeleteCase {
  const char* name;
  std::uint32_t error;  // 0: deleted
};

class DeleteFileCases : public PosixFiles, public testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteFileCases, DeleteOrFailWithTheCode) {
  MakeTree();
  const bool existed = Exists(GetParam().name);
  os.SetLastError(0);
  EXPECT_EQ(os.DeleteFile(Name(GetParam().name)), GetParam().error == 0);
  EXPECT_EQ(os.LastError(), GetParam().error);
  EXPECT_EQ(Exists(GetParam().name), existed && GetParam().error != 0);
}

// A directory, a directory link and a read-only file are refused as Windows
// refuses them; a file link goes, not its target.
INSTANTIATE_TEST_SUITE_P(Table, DeleteFileCases,
                         testing::Values(DeleteCase{"file.txt", 0}, DeleteCase{"filelink", 0},
                                         DeleteCase{"dangling", 0}, DeleteCase{"missing", 2},
                                         DeleteCase{"nodir/missing", 3}, DeleteCase{"sub", 5},
                                         DeleteCase{"dirlink", 5}, DeleteCase{"readonly.txt", 5}));

class RemoveDirectoryCases : public PosixFiles, public testing::WithParamInterface<DeleteCase> {};

TEST_P(RemoveDirectoryCases, RemoveOrFailWithTheCode) {
  MakeTree();
  fs::create_directory(At("empty"));
  const bool existed = Exists(GetParam().name);
  os.SetLastError(0);
  EXPECT_EQ(os.RemoveDirectory(Name(GetParam().name)), GetParam().error == 0);
  EXPECT_EQ(os.LastError(), GetParam().error);
  EXPECT_EQ(Exists(GetParam().name), existed && GetParam().error != 0);
  EXPECT_TRUE(fs::exists(At("sub/inner.txt")));
}

INSTANTIATE_TEST_SUITE_P(Table, RemoveDirectoryCases,
                         testing::Values(DeleteCase{"empty", 0}, DeleteCase{"dirlink", 0},
                                         DeleteCase{"sub", 145}, DeleteCase{"file.txt", 267},
                                         DeleteCase{"filelink", 267}, DeleteCase{"missing", 2},
                                         DeleteCase{"nodir/x", 3}));

TEST_F(PosixFiles, MoveReplacesAnExistingFile) {
  WriteBytes("from.txt", "new");
  WriteBytes("to.txt", "old");
  ASSERT_TRUE(os.MoveFileReplacing(Name("from.txt"), Name("to.txt")));
  EXPECT_FALSE(fs::exists(At("from.txt")));
  EXPECT_EQ(ReadBytes("to.txt"), "new");
}

struct MoveCase {
  const char* from;
  const char* to;
  std::uint32_t error;
};

class MoveFailures : public PosixFiles, public testing::WithParamInterface<MoveCase> {};

TEST_P(MoveFailures, FailWithTheCode) {
  MakeTree();
  os.SetLastError(0);
  EXPECT_FALSE(os.MoveFileReplacing(Name(GetParam().from), Name(GetParam().to)));
  EXPECT_EQ(os.LastError(), GetParam().error);
  EXPECT_EQ(ReadBytes("file.txt"), "hq\r\n");
}

INSTANTIATE_TEST_SUITE_P(Table, MoveFailures,
                         testing::Values(MoveCase{"missing", "x.txt", 2},
                                         MoveCase{"nodir/missing", "x.txt", 3},
                                         MoveCase{"file.txt", "nodir/x.txt", 3},
                                         MoveCase{"file.txt", "sub", 5},
                                         MoveCase{"file.txt", "readonly.txt", 5}));

std::uint64_t NowTicks() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(
             std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100) +
         116444736000000000ull;
}

TEST_F(PosixFiles, SetFileTimesIsReadBackToTheTick) {
  const std::uint64_t before = NowTicks() - 20'000'000;
  WriteBytes("times.txt", "x");
  const std::uint64_t after = NowTicks() + 20'000'000;
  FileAttributeData original;
  ASSERT_TRUE(os.FileAttributesEx(Name("times.txt"), original));
  // Birth time, where the file system keeps it; 0 where it does not.
  if (original.creation.ticks != 0) {
    EXPECT_GE(original.creation.ticks, before);
    EXPECT_LE(original.creation.ticks, after);
  }

  const Handle handle = os.CreateFile(Name("times.txt"), GenericWrite, FileShareWrite, OpenExisting,
                                      FileAttributeNormal);
  ASSERT_NE(handle, InvalidHandle);
  const FileTime creation{125911584000000000ull};
  const FileTime access{126000000001234567ull};
  const FileTime write{116444736000000001ull};
  ASSERT_TRUE(os.SetFileTimes(handle, &creation, &access, &write));

  // Null and zero times leave those times alone.
  const FileTime zero{};
  const FileTime laterWrite{133000000000000009ull};
  ASSERT_TRUE(os.SetFileTimes(handle, nullptr, &zero, &laterWrite));
  ASSERT_TRUE(os.CloseHandle(handle));

  FileAttributeData data;
  ASSERT_TRUE(os.FileAttributesEx(Name("times.txt"), data));
  EXPECT_EQ(data.lastAccess, access);
  EXPECT_EQ(data.lastWrite, laterWrite);
  EXPECT_EQ(data.creation, original.creation);
}

TEST_F(PosixFiles, SetFileTimesRefusesABadHandle) {
  const FileTime time{125911584000000000ull};
  os.SetLastError(0);
  EXPECT_FALSE(os.SetFileTimes(InvalidHandle, nullptr, &time, &time));
  EXPECT_EQ(os.LastError(), error::InvalidHandle);
}

TEST_F(PosixFiles, NamesThatAreNotUtf8RoundTripThroughTheDisk) {
  WriteBytes("\xFF\xFE.txt", "raw");
  const Text name = Name("\xFF\xFE.txt");
  EXPECT_EQ(name.substr(name.size() - 6), u"\xDCFF\xDCFE.txt");
  EXPECT_EQ(os.FileAttributes(name), kArchive);

  const Text created = posix::DecodeName(dir_.string()) + u"/\u3042\xDC80\xD83D\xDE00.txt";
  const Handle handle = os.CreateFile(created, kReadWrite, 0, CreateAlways, FileAttributeNormal);
  ASSERT_NE(handle, InvalidHandle);
  EXPECT_TRUE(os.CloseHandle(handle));
  EXPECT_TRUE(fs::exists(At("\xE3\x81\x82\x80\xF0\x9F\x98\x80.txt")));
}

// Only a regular file is a disk file; a FIFO nobody writes opens at once.
TEST_F(PosixFiles, HandlesTellFilesFromDevicesAndPipes) {
  ASSERT_EQ(::mkfifo(At("fifo").c_str(), 0600), 0);
  WriteBytes("file.txt", "x");
  const std::pair<Text, FileType> cases[] = {{u"/dev/null", FileType::Char},
                                             {Name("fifo"), FileType::Pipe},
                                             {Name("file.txt"), FileType::Disk}};
  for (const auto& [name, type] : cases) {
    const Handle handle =
        os.CreateFile(name, GenericRead, FileShareRead, OpenExisting, FileAttributeNormal);
    ASSERT_NE(handle, InvalidHandle) << posix::EncodeName(name);
    EXPECT_EQ(os.HandleFileType(handle), type) << posix::EncodeName(name);
    EXPECT_TRUE(os.CloseHandle(handle));
  }
}

// A new file is its owner's alone until it is given its model's permission
// bits, which never take the owner's own reading and writing away.
TEST_F(PosixFiles, NewFilesArePrivateUntilGivenTheirModelsPermissions) {
  for (const mode_t model : {0640, 0604, 0444, 0600}) {
    WriteBytes("model.txt", "x");
    ::chmod(At("model.txt").c_str(), model);
    fs::remove(At("new.txt"));
    const Handle file =
        os.CreateFile(Name("new.txt"), kReadWrite, 0, CreateNew, FileAttributeNormal);
    ASSERT_NE(file, InvalidHandle);
    struct stat info {};
    ASSERT_EQ(::stat(At("new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const Handle from =
        os.CreateFile(Name("model.txt"), GenericRead, FileShareRead, OpenExisting, 0);
    EXPECT_TRUE(os.CopyPermissions(from, file));
    ASSERT_EQ(::stat(At("new.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, model | 0600) << std::oct << model;
    os.CloseHandle(from);
    os.CloseHandle(file);
    fs::remove(At("model.txt"));
  }
}

TEST_F(PosixFiles, ModuleFileNameNamesThisExecutable) {
  const Text module = os.ModuleFileName();
  ASSERT_FALSE(module.empty());
  EXPECT_EQ(module.front(), u'/');
  EXPECT_EQ(os.FileAttributes(module) & (FileAttributeDirectory | FileAttributeReparsePoint), 0u);
  EXPECT_NE(os.FileAttributes(module), InvalidFileAttributes);
}

}  // namespace
}  // namespace hq2hd::platform
#endif
