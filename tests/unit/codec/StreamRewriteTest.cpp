// The run's one pass over work files through the codec directly: written
// bytes, the failures it raises, and the same answers from every set of
// kernels and every piece size.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/RewriteRule.h"
#include "codec/StreamRewrite.h"
#include "platform/Platform.h"
#include "report/Catalogue.h"
#include "report/Exception.h"
#include "support/CaseTables.h"
#include "support/CountingPlatform.h"
#include "support/ForwardingPlatform.h"
#include "support/ReferenceRewrite.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

using namespace std::string_literals;

// The run's one pass, with every set of kernels and for every piece size
// from one byte to the whole file: each piece end falls once on every byte,
// so every code, pair, CR LF and held line is cut somewhere. Every way
// writes what the whole file as one piece writes, and that is what the
// plain reference writes, and `output` where given (none where the platform
// decides what a character becomes).
struct StreamCase {
  const char* name;
  std::string input;
  std::optional<std::string> output;
};

void PrintTo(const StreamCase& streamCase, std::ostream* out) { *out << streamCase.name; }

const StreamLineRule streamRule{"hq", "hd"};

// These passes need their bytes, not the disk's promise to keep them: the
// thousands of flushes would take most of the test's time.
class WithoutFlushes : public ForwardingPlatform {
 public:
  WithoutFlushes() : ForwardingPlatform(platform::NativePlatform()) {}
  bool FlushFileBuffers(platform::Handle) override { return true; }
};

std::string StreamOnce(const TempDir& dir, std::size_t pieceSize, int& created,
                       const CodecKernels& kernels = ActiveKernels()) {
  WithoutFlushes withoutFlushes;
  platform::ScopedPlatform scope(withoutFlushes);
  std::filesystem::remove(dir.Path() / "out.txt");
  StreamRewrite(
      dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [&] { ++created; }, pieceSize, kernels);
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
  EXPECT_EQ(whole, ReferenceRewrite(GetParam().input));
  for (const CodecKernels* kernels : SupportedKernels()) {
    for (std::size_t piece = 1; piece <= GetParam().input.size(); ++piece)
      EXPECT_EQ(StreamOnce(dir, piece, created, *kernels), whole)
          << kernels->name << ", pieces of " << piece;
  }
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

// The work files of tests/cases/work_files.txt, but for whole runs only (no
// work file, a report), and the lines across blocks.
std::vector<StreamCase> StreamCases() {
  std::vector<StreamCase> cases = {
      AcrossBlocks("HqAcrossBlocks", " hq\r\nhqq\r\n", "hd\r\nhqq\r\n"),
      AcrossBlocks("BreaksAcrossBlocks", "a\rb\n\x82\xA0\r\r\n", "a\r\nb\r\n\x82\xA0\r\n\r\n")};
  for (const WorkFileRow& row : WorkFileRows()) {
    if (row.IsFile() && row.report.empty())
      cases.push_back({row.name.c_str(), row.input, row.output});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, StreamRewriteTest, ::testing::ValuesIn(StreamCases()),
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

// Random code page 932 text, valid or not, with every set of kernels: the
// pass writes what the plain reference writes.
TEST(StreamRewriteTest, RandomCodePage932TextWritesWhatTheReferenceWrites) {
  std::mt19937 random(932);
  const std::vector<std::string> pieces = {
      "a",        "Z",        " ",        "\t",       "\r",       "\n",       "\r\n",
      "hq",       "HQ",       "\\",       "~",        "\x7F",     "\xB1",     "\xDF",
      "\x81\x40", "\x81\x5F", "\x81\x60", "\x82\xA0", "\x87\x40", "\x87\x90", "\x87\x9C",
      "\x88\x9F", "\x98\x72", "\xE0\x40", "\xEA\xA4", "\xED\x40", "\xED\x7E", "\xEE\xEF",
      "\xEE\xFC", "\xF0\x40", "\xFA\x40", "\xFA\x55", "\xFA\x5C", "\xFB\x40", "\xFC\x4B",
      "\x00"s,    "\x85\x40"};
  TempDir dir;
  int created = 0;
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int count = static_cast<int>(random() % 120);
    for (int i = 0; i < count; ++i) bytes += pieces[random() % pieces.size()];
    WriteBytes(dir.Path() / "in.txt", bytes);
    for (const CodecKernels* kernels : SupportedKernels()) {
      for (std::size_t piece : {std::size_t{5}, StreamPieceSize})
        ASSERT_EQ(StreamOnce(dir, piece, created, *kernels), ReferenceRewrite(bytes))
            << "round " << round << ", " << kernels->name << ", pieces of " << piece;
    }
  }
}

// A source that is not there, and a target in a folder that is not there,
// are named whole in the report; nothing is created.
TEST(StreamRewriteTest, MissingSourceOrTargetFolderNamesThePath) {
  TempDir dir;
  try {
    StreamRewrite(dir.Name("missing.txt"), dir.Name("out.txt"), streamRule, [] {});
    ADD_FAILURE() << "no failure";
  } catch (const EFOpenError& failure) {
    const Text expectedStart = u"ファイル " + dir.Name("missing.txt") + u" は開けません。 ";
    EXPECT_TRUE(failure.Message().starts_with(expectedStart));
    EXPECT_GT(failure.Message().size(), expectedStart.size() + 1) << "no system message";
  }
  WriteBytes(dir.Path() / "in.txt", "a\r\n");
  const Text target = ToText(dir.Path() / "no" / "such" / "out.txt");
  try {
    StreamRewrite(dir.Name("in.txt"), target, streamRule, [] {});
    ADD_FAILURE() << "no failure";
  } catch (const EFCreateError& failure) {
    EXPECT_TRUE(failure.Message().starts_with(u"ファイル \"" + target + u"\" を作成できません。"));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "no"));
}

long CallsOf(const std::vector<CallRecord>& trace, std::string_view function) {
  return std::ranges::count_if(
      trace, [&](const CallRecord& record) { return record.function == function; });
}

// Every call of a pass over several pieces fails in turn, in each way it
// can: the pass raises, or it shrugs the fault off and writes every byte.
// A target it never created is not there; a name already there is never
// written through. A file is read once, or twice: when 87 90 was replaced
// before 85 40 shows the file invalid, and when its first code written as
// another comes after the first piece.
TEST(StreamRewriteTest, EveryFailedCallRaisesOrLeavesTheWholeOutput) {
  struct PassCase {
    std::string input, output;
    int reads;
  };
  const PassCase cases[] = {
      {"\x87\x90\r\nhq\r\nline\r\n\x85\x40\r\n", "\x87\x90\r\nhd\r\nline\r\n\x85\x40\r\n", 2},
      {"hq\r\nline\r\n\x87\x90\r\n", "hd\r\nline\r\n\x81\xE0\r\n", 2},
      {"hq\r\nline\r\n\x82\xA0\x85\x40\r\n", "hd\r\nline\r\n\x82\xA0\x85\x40\r\n", 1}};
  TempDir dir;
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
  for (const PassCase& pass : cases) {
    SCOPED_TRACE(pass.output);
    WriteBytes(dir.Path() / "in.txt", pass.input);
    bool created = false;
    run(0, {}, created);
    ASSERT_EQ(ReadBytes(dir.Path() / "out.txt"), pass.output);
    const std::vector<CallRecord> clean = counting.Trace();
    // Each pass opens the source and creates the target.
    EXPECT_EQ(CallsOf(clean, "CreateFile"), 2 * pass.reads);
    for (int k = 1; k <= static_cast<int>(clean.size()); ++k) {
      for (const Fault& fault : FaultsFor(clean[k - 1].kind)) {
        const std::string call = "call #" + std::to_string(k) + " " + clean[k - 1].function +
                                 " failing with " + Describe(fault);
        try {
          run(k, fault, created);
          EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), pass.output) << call;
        } catch (const Exception&) {
          if (!created) {
            EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.txt")) << call;
          }
        }
        EXPECT_EQ(counting.HandlesLeftOpen(), 0u) << call;
      }
    }
  }
}

// Each write request's size, in order.
class WriteSizes : public ForwardingPlatform {
 public:
  WriteSizes() : ForwardingPlatform(platform::NativePlatform()) {}
  bool WriteFile(platform::Handle file, const void* buffer, std::uint32_t count,
                 std::uint32_t& done) override {
    sizes.push_back(count);
    return Inner().WriteFile(file, buffer, count, done);
  }
  std::vector<std::uint32_t> sizes;
};

// Lines that end in CR LF and do not grow are written where they were read,
// a replaced line included: a request ends where a whole piece of the target
// does (32 bytes here), and the bytes beyond go out with the next piece.
TEST(StreamRewriteTest, CrLfLinesGoOutInWholePiecesOfTheTarget) {
  TempDir dir;
  std::string input, output;
  for (int k = 0; k < 40; ++k) {
    input += "  HQ\t\r\nlin\r\n";
    output += "hd\r\nlin\r\n";
  }
  WriteBytes(dir.Path() / "in.txt", input);
  WriteSizes writes;
  platform::ScopedPlatform scope(writes);
  StreamRewrite(
      dir.Name("in.txt"), dir.Name("out.txt"), streamRule, [] {}, 32);
  EXPECT_EQ(ReadBytes(dir.Path() / "out.txt"), output);
  ASSERT_GE(writes.sizes.size(), 2u);
  EXPECT_LE(writes.sizes.size(), input.size() / 32 + 1);
  for (std::size_t k = 0; k + 1 < writes.sizes.size(); ++k) {
    EXPECT_GT(writes.sizes[k], 0u) << "request " << k;
    EXPECT_EQ(writes.sizes[k] % 32, 0u) << "request " << k;
  }
  EXPECT_EQ(writes.sizes.back(), output.size() % 32);
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
