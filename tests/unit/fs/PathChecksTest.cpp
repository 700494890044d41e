// Path checks: which failure each kind of bad path gets, in check order, and
// the directory part of full paths.
#include "fs/PathChecks.h"

#include <gtest/gtest.h>

#include <functional>

#include "report/Exception.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

enum class Outcome { Passes, TooLong, NotSupported, Argument, DirectoryNotFound, FileNotFound };

Outcome Validate(TextView path, bool mustExist) {
  try {
    ValidatePath(path, mustExist);
    return Outcome::Passes;
  } catch (const EPathTooLongException& failure) {
    EXPECT_EQ(failure.Message(), u"指定されたパスが長すぎます");
    return Outcome::TooLong;
  } catch (const ENotSupportedException& failure) {
    EXPECT_EQ(failure.Message(), u"パスの形式がサポートされていません");
    return Outcome::NotSupported;
  } catch (const EArgumentException& failure) {
    EXPECT_EQ(failure.Message(), u"パスに無効な文字が含まれています");
    return Outcome::Argument;
  } catch (const EDirectoryNotFoundException& failure) {
    EXPECT_EQ(failure.Message(), u"指定されたパスが見つかりません");
    return Outcome::DirectoryNotFound;
  } catch (const EFileNotFoundException& failure) {
    EXPECT_EQ(failure.Message(), u"指定されたファイルが見つかりません");
    return Outcome::FileNotFound;
  }
}

struct ValidateCase {
  const char* name;
  // Builds the path inside an existing temporary folder.
  std::function<Text(const TempDir&)> path;
  bool mustExist;
  Outcome outcome;
};

class ValidatePathTest : public ::testing::TestWithParam<ValidateCase> {};

TEST_P(ValidatePathTest, FirstFailingCheckDecides) {
  TempDir dir;
  WriteBytes(dir.Path() / "present.txt", "x");
  EXPECT_EQ(Validate(GetParam().path(dir), GetParam().mustExist), GetParam().outcome);
}

Text Repeat(char16_t unit, std::size_t count) { return Text(count, unit); }

const ValidateCase validateCases[] = {
    {"PresentFile", [](const TempDir& d) { return d.Name("present.txt"); }, true,
     Outcome::Passes},
    {"MissingFile", [](const TempDir& d) { return d.Name("missing.txt"); }, true,
     Outcome::FileNotFound},
    {"MissingFileMayBeMissing", [](const TempDir& d) { return d.Name("missing.txt"); }, false,
     Outcome::Passes},
    {"MissingFolderBeforeMissingFile",
     [](const TempDir& d) { return ToText(d.Path() / "none" / "x.txt"); }, true,
     Outcome::DirectoryNotFound},
    {"FolderIsNoFile", [](const TempDir& d) { return ToText(d.Path()); }, true,
     Outcome::FileNotFound},
    {"Length247Passes", [](const TempDir&) { return Repeat(u'a', 247); }, false,
     Outcome::Passes},
    {"Length248TooLong", [](const TempDir&) { return Repeat(u'a', 248); }, false,
     Outcome::TooLong},
    {"TooLongBeforeBadCharacters", [](const TempDir&) { return Repeat(u'|', 300); }, false,
     Outcome::TooLong},
    {"ExtendedPrefixLiftsLength",
     [](const TempDir&) { return u"\\\\?\\" + Repeat(u'a', 300) + u"|"; }, false,
     Outcome::Argument},
    {"ColonAfterDrive", [](const TempDir&) { return Text(u"C:\\dir\\a.txt:x"); }, false,
     Outcome::NotSupported},
    {"BlankHidesDrive", [](const TempDir&) { return Text(u" C:\\a.txt"); }, false,
     Outcome::NotSupported},
    {"ColonBeforeBadCharacter", [](const TempDir&) { return Text(u"ab:|"); }, false,
     Outcome::NotSupported},
    {"BlanksOnly", [](const TempDir&) { return Text(u"   "); }, false, Outcome::Argument},
    {"Empty", [](const TempDir&) { return Text(); }, false, Outcome::Argument},
    {"Tab", [](const TempDir&) { return Text(u"a\tb"); }, false, Outcome::Argument},
    {"Bar", [](const TempDir&) { return Text(u"a|b"); }, false, Outcome::Argument},
    {"Quote", [](const TempDir&) { return Text(u"a\"b"); }, false, Outcome::Argument},
    {"LessThan", [](const TempDir&) { return Text(u"a<b"); }, false, Outcome::Argument},
    {"WildcardsAreNoInvalidCharacters", [](const TempDir& d) { return d.Name("a*b?"); }, false,
     Outcome::Passes},
};

INSTANTIATE_TEST_SUITE_P(Paths, ValidatePathTest, ::testing::ValuesIn(validateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InvalidPathCharsTest, ExactlyControlsQuoteLessGreaterAndBar) {
  int count = 0;
  for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
    bool invalid = IsInvalidPathChar(static_cast<char16_t>(unit));
    if (invalid) ++count;
    bool expected = unit < 0x20 || unit == u'"' || unit == u'<' || unit == u'>' || unit == u'|';
    EXPECT_EQ(invalid, expected) << "unit " << static_cast<unsigned>(unit);
  }
  EXPECT_EQ(count, 36);
}

struct DirectoryCase {
  std::u16string fullPath;
  std::u16string directory;
};

class DirectoryPartTest : public ::testing::TestWithParam<DirectoryCase> {};

TEST_P(DirectoryPartTest, CutsAsTabled) {
  EXPECT_EQ(DirectoryPartOf(GetParam().fullPath), GetParam().directory);
}

INSTANTIATE_TEST_SUITE_P(
    FullPaths, DirectoryPartTest,
    ::testing::Values(DirectoryCase{u"C:\\dir\\file.txt", u"C:\\dir"},
                      DirectoryCase{u"C:\\file.txt", u"C:\\"}, DirectoryCase{u"C:\\", u""},
                      DirectoryCase{u"\\\\server\\share\\dir\\file.txt", u"\\\\server\\share\\dir"},
                      DirectoryCase{u"\\\\server\\share\\file.txt", u"\\\\server\\share"},
                      DirectoryCase{u"\\\\server\\share", u""},
                      DirectoryCase{u"\\\\?\\C:\\dir\\file.txt", u"\\\\?\\C:\\dir"},
                      DirectoryCase{u"\\\\?\\C:\\file.txt", u"\\\\?\\C:"},
                      DirectoryCase{u"\\\\?\\UNC\\server\\share\\file.txt",
                                    u"\\\\?\\UNC\\server\\share"},
                      DirectoryCase{u"C:file.txt", u"C:"}, DirectoryCase{u"C:", u""},
                      DirectoryCase{u"a:file.txt", u"a:"}, DirectoryCase{u"z:file.txt", u"z:"},
                      DirectoryCase{u"A:file.txt", u"A:"}, DirectoryCase{u"Z:file.txt", u"Z:"},
                      DirectoryCase{u"/tmp/dir/file.txt", u"/tmp/dir"},
                      DirectoryCase{u"/file.txt", u"/"}, DirectoryCase{u"/", u""},
                      DirectoryCase{u"  C:\\dir\\file.txt \t", u"C:\\dir"},
                      DirectoryCase{u"file.txt", u""}));

}  // namespace
}  // namespace hq2hd::testing
