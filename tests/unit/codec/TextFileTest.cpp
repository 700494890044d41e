// Reading and writing work files through the codec directly: detected
// encodings, lines, written bytes and the failures it raises.
#include <gtest/gtest.h>

#include "codec/TextFile.h"
#include "platform/Platform.h"
#include "report/Exception.h"
#include "support/CountingPlatform.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

using namespace std::string_literals;

enum class Expect { Ansi, Utf8, Utf16Le, Utf16Be };

const Encoding& EncodingFor(Expect expect) {
  switch (expect) {
    case Expect::Utf8:
      return Utf8Encoding();
    case Expect::Utf16Le:
      return Utf16LeEncoding();
    case Expect::Utf16Be:
      return Utf16BeEncoding();
    default:
      return AnsiEncoding();
  }
}

struct LoadCase {
  const char* name;
  std::string bytes;
  Expect encoding;
  std::vector<std::u16string> lines;
};

class LoadLinesTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadLinesTest, DetectsEncodingAndSplitsLines) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", GetParam().bytes);
  LineList list;
  LoadLines(list, dir.Name("in.txt"));
  EXPECT_EQ(list.DetectedEncoding(), &EncodingFor(GetParam().encoding));
  list.ToTextForm();
  std::vector<std::u16string> lines(list.Lines().begin(), list.Lines().end());
  EXPECT_EQ(lines, GetParam().lines);
}

const LoadCase loadCases[] = {
    {"Empty", "", Expect::Ansi, {}},
    {"MarkOnly", "\xEF\xBB\xBF", Expect::Utf8, {}},
    {"CrLfLfCr", "a\r\nb\nc\rd", Expect::Ansi, {u"a", u"b", u"c", u"d"}},
    {"LfCrIsTwoBreaks", "a\n\rb", Expect::Ansi, {u"a", u"", u"b"}},
    {"Hiragana", "\x82\xA0", Expect::Ansi, {u"\u3042"}},
    {"Utf8", "\xEF\xBB\xBF\xC3\xA9\r\n", Expect::Utf8, {u"\u00E9"}},
    {"Utf16LeNulMark", "\xFF\xFE\0\0"s, Expect::Utf16Le, {std::u16string(1, u'\0')}},
    {"Utf16LeLoneSurrogate", "\xFF\xFE\x00\xD8"s, Expect::Utf16Le, {u"\xD800"}},
    {"Utf16Be", "\xFE\xFF\x00\x61\x30\x42"s, Expect::Utf16Be, {u"a\u3042"}},
    {"NulInsideLine", "a\0b"s, Expect::Ansi, {std::u16string(u"a\0b", 3)}},
};

INSTANTIATE_TEST_SUITE_P(Files, LoadLinesTest, ::testing::ValuesIn(loadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadLinesTest, ShortMarkDecodesBothBytesAsOneAnsiText) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", "\xEF\xBB");
  LineList list;
  LoadLines(list, dir.Name("in.txt"));
  ASSERT_EQ(list.Count(), 1u);
  list.ToTextForm();
  EXPECT_FALSE(list.Line(0).empty());
}

TEST(LoadLinesTest, InvalidUtf8AfterMarkRaisesAndKeepsListEmpty) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", "\xEF\xBB\xBFok\r\n\xC3\x28");
  LineList list;
  EXPECT_THROW(LoadLines(list, dir.Name("in.txt")), EEncodingError);
  EXPECT_EQ(list.Count(), 0u);
}

TEST(LoadLinesTest, MissingFileRaisesOpenErrorNamingTheFullPath) {
  TempDir dir;
  LineList list;
  try {
    LoadLines(list, dir.Name("missing.txt"));
    FAIL() << "no failure";
  } catch (const EFOpenError& failure) {
    const Text expectedStart = u"ファイル " + dir.Name("missing.txt") + u" は開けません。 ";
    EXPECT_TRUE(failure.Message().starts_with(expectedStart));
    EXPECT_TRUE(failure.Message().ends_with(u" "));
    EXPECT_GT(failure.Message().size(), expectedStart.size() + 1) << "no system message";
  }
}

struct SaveCase {
  const char* name;
  std::vector<std::u16string> lines;
  Expect encoding;
  std::string bytes;
};

class SaveLinesTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveLinesTest, WritesPreambleAndCrLfAfterEveryLine) {
  TempDir dir;
  LineList list;
  for (const auto& line : GetParam().lines) list.Append(line);
  SaveLines(list, dir.Name("out.txt"), EncodingFor(GetParam().encoding));
  EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), GetParam().bytes);
}

const SaveCase saveCases[] = {
    {"EmptyAnsi", {}, Expect::Ansi, ""},
    {"EmptyUtf8HasMark", {}, Expect::Utf8, "\xEF\xBB\xBF"},
    {"AnsiJapanese", {u"\u3042", u""}, Expect::Ansi, "\x82\xA0\r\n\r\n"},
    {"Utf8", {u"\u00E9"}, Expect::Utf8, "\xEF\xBB\xBF\xC3\xA9\r\n"},
    {"AnsiNul", {std::u16string(u"a\0b", 3)}, Expect::Ansi, "a\0b\r\n"s},
};

INSTANTIATE_TEST_SUITE_P(Lists, SaveLinesTest, ::testing::ValuesIn(saveCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SaveLinesTest, CharacterWithoutAnsiCodeIsSubstitutedNotRefused) {
  TempDir dir;
  LineList list;
  list.Append(u"a\U0001F600b");
  SaveLines(list, dir.Name("out.txt"));
  std::string bytes = ReadBytes(dir.Path() / "out.txt");
  EXPECT_TRUE(bytes.starts_with("a"));
  EXPECT_TRUE(bytes.ends_with("b\r\n"));
  EXPECT_GT(bytes.size(), 4u);
}

TEST(SaveLinesTest, WithoutEncodingUsesDefaultAnsi) {
  TempDir dir;
  LineList list;
  list.Append(u"\u3042");
  SaveLines(list, dir.Name("out.txt"));
  EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), "\x82\xA0\r\n");
}

TEST(SaveLinesTest, MissingFolderRaisesCreateErrorAndCreatesNothing) {
  TempDir dir;
  LineList list;
  list.Append(u"a");
  const Text path = ToText(dir.Path() / "no" / "such" / "out.txt");
  try {
    SaveLines(list, path);
    FAIL() << "no failure";
  } catch (const EFCreateError& failure) {
    EXPECT_TRUE(failure.Message().starts_with(u"ファイル \"" + path + u"\" を作成できません。"));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "no"));
}

TEST(SplitLinesTest, BreakAtEndAddsNoEmptyLine) {
  EXPECT_EQ(SplitLines(u"a\r\n").size(), 1u);
  EXPECT_EQ(SplitLines(u"a\r\n\r\n").size(), 2u);
  EXPECT_EQ(SplitLines(u"").size(), 0u);
  EXPECT_EQ(SplitLines(u"\n\n\r").size(), 3u);
}

// A byte-form list is written in pieces of 1 MiB, each by the rules of one
// request: what falls short is asked for again, and a piece that cannot be
// written raises EWriteError and leaves the file with the pieces before it.
struct PieceCase {
  const char* name;
  CallFault writeFault;
  int shortWriteAt;
  bool raises;
  std::size_t kept;
};

class SaveLinesPiecesTest : public ::testing::TestWithParam<PieceCase> {};

constexpr std::size_t MiB = std::size_t{1} << 20;

TEST_P(SaveLinesPiecesTest, KeepsWhatWasWrittenBeforeAFailedPiece) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; bytes.size() < 5 * MiB / 2; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  WriteBytes(dir.Path() / "in.txt", bytes);
  LineList list;
  LoadLines(list, dir.Name("in.txt"));
  ASSERT_TRUE(list.IsByteForm());

  CountingPlatform platform;
  platform.writeFault = GetParam().writeFault;
  platform.shortWriteAt = GetParam().shortWriteAt;
  {
    platform::ScopedPlatform scope(platform);
    if (GetParam().raises) {
      EXPECT_THROW(SaveLines(list, dir.Name("out.txt")), EWriteError);
    } else {
      EXPECT_NO_THROW(SaveLines(list, dir.Name("out.txt")));
    }
  }
  const std::string written = ReadBytes(dir.Path() / "out.txt");
  const std::size_t kept = GetParam().kept == 0 ? 0 : std::min(GetParam().kept, bytes.size());
  ASSERT_EQ(written.size(), kept);
  EXPECT_TRUE(written == bytes.substr(0, kept));
  EXPECT_EQ(platform.HandlesLeftOpen(), 0u);
}

constexpr std::size_t Whole = ~std::size_t{0};
constexpr std::uint32_t DiskFull = 112;

const PieceCase pieceCases[] = {
    {"AllPieces", {}, 0, false, Whole},
    {"FirstPieceFails", {1, DiskFull, true}, 0, true, 0},
    {"SecondPieceFails", {2, DiskFull, true}, 0, true, MiB},
    {"LastPieceFails", {3, DiskFull, true}, 0, true, 2 * MiB},
    {"FailedRequestIsAskedAgain", {2, DiskFull, false}, 0, false, Whole},
    {"ShortPieceIsCompleted", {}, 2, false, Whole},
};

INSTANTIATE_TEST_SUITE_P(Faults, SaveLinesPiecesTest, ::testing::ValuesIn(pieceCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
