// Reading and writing work files through the codec directly: detected
// encodings, lines, written bytes and the failures it raises.
#include <gtest/gtest.h>

#include "codec/StreamRewrite.h"
#include "codec/TextFile.h"
#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "support/CountingPlatform.h"
#include "support/ForwardingPlatform.h"
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

namespace hq2hd::testing {
namespace {

// The run's one pass, for every piece size from one byte to the whole file:
// each piece end falls once on every byte, so every code, pair, CR LF and
// held line is cut somewhere. Every size writes what the whole file as one
// piece writes, and that is `output` where given.
struct StreamCase {
  const char* name;
  std::string input;
  std::optional<std::string> output;
};

const StreamLineRule streamRule{"hq", "hd"};

std::string StreamOnce(const TempDir& dir, std::size_t pieceSize, int& created) {
  std::filesystem::remove(dir.Path() / "out.txt");
  StreamRewrite(
      dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [&] { ++created; }, pieceSize);
  return ReadBytes(dir.Path() / "out.txt");
}

class StreamRewriteTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamRewriteTest, EveryPieceSizeWritesTheSameBytes) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", GetParam().input);
  int created = 0;
  const std::string whole = StreamOnce(dir, StreamPieceSize, created);
  if (GetParam().output) {
    EXPECT_EQ(whole, *GetParam().output);
  }
  for (std::size_t piece = 1; piece <= GetParam().input.size(); ++piece)
    EXPECT_EQ(StreamOnce(dir, piece, created), whole) << "pieces of " << piece;
  // Read twice or not, the target is created anew once in each pass.
  EXPECT_GE(created, static_cast<int>(GetParam().input.size()) + 1);
}

// Lines of each length around a block of 64 bytes before lines that the
// pass must stop at, so that each stop falls on every byte of a block.
StreamCase AcrossBlocks(const char* name, std::string_view stops, std::string_view written) {
  StreamCase lines{name, "", ""};
  for (std::size_t length = 56; length < 72; ++length) {
    lines.input += std::string(length, 'x') + "\r\n" + std::string(stops);
    *lines.output += std::string(length, 'x') + "\r\n" + std::string(written);
  }
  return lines;
}

const StreamCase streamCases[] = {
    AcrossBlocks("HqAcrossBlocks", " hq\r\nhqq\r\n", "hd\r\nhqq\r\n"),
    AcrossBlocks("BreaksAcrossBlocks", "a\rb\n\x82\xA0\r\r\n", "a\r\nb\r\n\x82\xA0\r\n\r\n"),
    {"Empty", "", ""},
    {"Utf8MarkOnly", "\xEF\xBB\xBF", "\xEF\xBB\xBF"},
    {"EveryBreakAndRule", "a\r\n  HQ\t\r\nhq\rx\n\n\r\x82\xA0hq\r\n h\tq\r\n hQ",
     "a\r\nhd\r\nhd\r\nx\r\n\r\n\r\n\x82\xA0hq\r\n h\tq\r\nhd\r\n"},
    {"CrCrLfAndLfCr", "a\r\r\nb\n\rc\r", "a\r\n\r\nb\r\n\r\nc\r\n"},
    {"HeldLineThatIsNotHq", " \t h \r\n\t hqq\r\n \x01hq\x02 ", " \t h \r\n\t hqq\r\nhd\r\n"},
    {"Cp932SharedCodes", "\x87\x90\xED\x40\r\nhq", "\x81\xE0\xFA\x5C\r\nhd\r\n"},
    // Small pieces replace 87 90 before 85 40 shows the file to be invalid:
    // it is read a second time and written as its own bytes.
    {"Cp932InvalidAfterSharedCode", "\x87\x90\r\n hq\r\n\x85\x40\r\n\x82",
     "\x87\x90\r\nhd\r\n\x85\x40\r\n\x82\r\n"},
    {"Cp932LeadByteBeforeBreak", "\x82\r\nhq\r\n", "\x82\r\nhd\r\n"},
    {"Utf8WithoutMark", "\xE6\x97\xA5\xE6\x9C\xAC\r\nHq", "\xE6\x97\xA5\xE6\x9C\xAC\r\nhd\r\n"},
    {"Utf8EveryLength", "\xEF\xBB\xBF\xC3\xA9\xE3\x81\x82\r\n hq \n\xF0\x9F\x98\x80",
     "\xEF\xBB\xBF\xC3\xA9\xE3\x81\x82\r\nhd\r\n\xF0\x9F\x98\x80\r\n"},
    {"Utf16LeOddLastByte", "\xFF\xFE\x42\x30\r\0\n\0h\0Q\0\r\0x"s, "\x82\xA0\r\nhd\r\n"},
    {"Utf16BeBreaks", "\xFE\xFF\0a\0\r\0\r\0\n\0\n\0 \0h\0q"s, "a\r\n\r\n\r\nhd\r\n"},
    // The platform decides what a pair or a lone surrogate becomes; a pair
    // cut by a piece's end must still be one pair.
    {"Utf16Surrogates", "\xFF\xFE\x3D\xD8\x00\xDE\r\0\n\0\x00\xDC\x3D\xD8"s, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Files, StreamRewriteTest, ::testing::ValuesIn(streamCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StreamRewriteTest, TextRuleHasTheLastWordOnUtf16Lines) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", "\xFF\xFEh\0q\0\n\0\t\0h\0q\0"s);
  const StreamLineRule rule{"hq", "hd", [](TextView line) { return line.size() == 2; }};
  for (std::size_t piece : {std::size_t{1}, StreamPieceSize}) {
    std::filesystem::remove(dir.Path() / "out.txt");
    StreamRewrite(
        dir.Name("in.txt"), dir.Name("out.txt"), rule, [] {}, piece);
    EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), "hd\r\n\thq\r\n") << "pieces of " << piece;
  }
}

// Every call of a pass over several pieces fails in turn, in each way it
// can: the pass raises, or it shrugs the fault off and writes every byte.
// A target it never created is not there; a name already there is never
// written through.
TEST(StreamRewriteTest, EveryFailedCallRaisesOrLeavesTheWholeOutput) {
  TempDir dir;
  const std::string input = "\x87\x90\r\nhq\r\nline\r\n\x85\x40\r\n";
  const std::string output = "\x87\x90\r\nhd\r\nline\r\n\x85\x40\r\n";
  WriteBytes(dir.Path() / "in.txt", input);
  CountingPlatform counting;
  platform::ScopedPlatform scope(counting);
  const auto run = [&](int failAt, Fault fault, bool& created) {
    std::filesystem::remove(dir.Path() / "out.txt");
    counting.Reset();
    if (failAt != 0) counting.FailCall(failAt, fault);
    created = false;
    StreamRewrite(
        dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [&] { created = true; }, 4);
  };
  bool created = false;
  run(0, {}, created);
  ASSERT_EQ(ReadBytes(dir.Path() / "out.txt"), output);
  const std::vector<CallRecord> clean = counting.Trace();
  for (int k = 1; k <= static_cast<int>(clean.size()); ++k) {
    for (const Fault& fault : FaultsFor(clean[k - 1].kind)) {
      const std::string call = "call #" + std::to_string(k) + " " + clean[k - 1].function +
                               " failing with " + Describe(fault);
      try {
        run(k, fault, created);
        EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), output) << call;
      } catch (const Exception&) {
        if (!created) {
          EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt")) << call;
        }
      }
      EXPECT_EQ(counting.HandlesLeftOpen(), 0u) << call;
    }
  }
}

// The first write request (or every one, `always`) puts half of its bytes
// on the disk and fails, saying so.
class PartlyFailedWrite : public ForwardingPlatform {
 public:
  explicit PartlyFailedWrite(bool always = false)
      : ForwardingPlatform(platform::NativePlatform()), always_(always) {}
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override {
    if ((failed_ && !always_) || count < 2) return Inner().WriteFile(file, buffer, count, done);
    failed_ = true;
    Inner().WriteFile(file, buffer, count / 2, done);
    SetLastError(112);
    return false;
  }

 private:
  bool always_;
  bool failed_ = false;
};

// A repeat that fails is no progress, however many bytes it wrote first.
TEST(StreamRewriteTest, WriteThatKeepsFailingAfterPartRaises) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", "abcdefgh\r\n");
  PartlyFailedWrite partly(true);
  platform::ScopedPlatform scope(partly);
  EXPECT_THROW(StreamRewrite(dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [] {}),
               EWriteError);
}

TEST(StreamRewriteTest, WriteThatFailsAfterPartIsAskedForTheRestOnly) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", "a\r\nb\r\n");
  PartlyFailedWrite partly;
  platform::ScopedPlatform scope(partly);
  StreamRewrite(dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [] {});
  EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), "a\r\nb\r\n");
  // A name already there is refused, not emptied.
  EXPECT_THROW(StreamRewrite(dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [] {}),
               EFCreateError);
  EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), "a\r\nb\r\n");
}

TEST(StreamRewriteTest, FailuresNameWhatStoppedThePass) {
  TempDir dir;
  CountingPlatform counting;
  platform::ScopedPlatform scope(counting);
  const auto failure = [&](const std::string& input, auto plan) -> std::u16string {
    WriteBytes(dir.Path() / "in.txt", input);
    std::filesystem::remove(dir.Path() / "out.txt");
    counting.Reset();
    plan(counting);
    try {
      StreamRewrite(
          dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [] {}, 4);
    } catch (const Exception& raised) {
      const std::string name = raised.ClassName();
      return std::u16string(name.begin(), name.end()) + u": " + raised.Message();
    }
    return u"none";
  };
  const auto none = [](CountingPlatform&) {};
  EXPECT_EQ(failure("\xEF\xBB\xBFok\r\nok\r\n\xC3\x28", none),
            u"EEncodingError: " + Text(catalogue::InvalidUtf8Body));
  EXPECT_EQ(failure("abcdefgh", [](CountingPlatform& p) { p.shortReadAt = 2; }),
            u"EInOutError: " + Text(catalogue::ReadBeyondEnd));
  EXPECT_EQ(failure("abc", [](CountingPlatform& p) { p.reportedSize = std::uint64_t{1} << 31; }),
            u"EInOutError: " + Text(catalogue::FileTooLarge));
  EXPECT_EQ(failure("abcdefgh",
                    [](CountingPlatform& p) {
                      p.writeFault = {1, 112, true};
                    }),
            u"EWriteError: " + Text(catalogue::StreamWriteError));
}

}  // namespace
}  // namespace hq2hd::testing
