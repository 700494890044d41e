// Lists kept as the file's bytes must write exactly what the same lines
// decoded to text and encoded again would.
#include <gtest/gtest.h>

#include <random>

#include "codec/TextFile.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

using namespace std::string_literals;

struct FormCase {
  const char* name;
  std::string bytes;
  bool byteForm;
};

class ByteFormTest : public ::testing::TestWithParam<FormCase> {};

// Writes the list as loaded and as text, and gives both results.
std::pair<std::string, std::string> WriteBothWays(const std::string& bytes) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", bytes);
  LineList list;
  LoadLines(list, dir.Name("in.txt"));
  LineList text = list.DecodedCopy();
  const Encoding& encoding =
      list.DetectedEncoding() == &Utf8Encoding() ? Utf8Encoding() : AnsiEncoding();
  SaveLines(list, dir.Name("as-loaded.txt"), encoding);
  SaveLines(text, dir.Name("as-text.txt"), encoding);
  return {ReadBytes(dir.Path() / "as-loaded.txt"), ReadBytes(dir.Path() / "as-text.txt")};
}

TEST_P(ByteFormTest, KeepsBytesOnlyWhenLosslessAndWritesAsText) {
  TempDir dir;
  WriteBytes(dir.Path() / "in.txt", GetParam().bytes);
  LineList list;
  LoadLines(list, dir.Name("in.txt"));
  EXPECT_EQ(list.IsByteForm(), GetParam().byteForm);
  auto [asLoaded, asText] = WriteBothWays(GetParam().bytes);
  EXPECT_EQ(asLoaded, asText);
}

const FormCase formCases[] = {
    {"Ascii", "a\r\nhq\nb", true},
    {"Japanese", "\x82\xA0\x88\x9F\r\n", true},
    {"HalfWidthKana", "\xB1\xB2\r\n", true},
    // NEC-selected IBM codes share their characters with IBM codes.
    {"NecSelectedIbm", "\xED\x40\xEE\xEC\r\n", true},
    {"NecRow13", "\x87\x90\x87\x54\r\n", true},
    {"IbmExtension", "\xFA\x40\xFA\x5C\r\n", true},
    {"UserDefined", "\xF0\x40\xF9\xFC\r\n", true},
    {"Utf8", "\xEF\xBB\xBF\xC3\xA9\xF0\x9F\x98\x80\r\n", true},
    {"LoneLeadStaysText", "a\x82\r\n", false},
    {"UnmappedPairStaysText", "\xEF\x40", false},
    {"Utf16IsText", "\xFF\xFEh\0"s, false},
};

INSTANTIATE_TEST_SUITE_P(Files, ByteFormTest, ::testing::ValuesIn(formCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ByteFormRandomTest, RandomCodePage932TextWritesAsItsDecodedText) {
  std::mt19937 random(932);
  const std::vector<std::string> pieces = {
      "a", "Z", " ", "\t", "\r", "\n", "\r\n", "hq", "HQ", "\\", "~", "\x7F", "\xB1",
      "\xDF", "\x81\x40", "\x81\x5F", "\x81\x60", "\x82\xA0", "\x87\x40", "\x87\x90",
      "\x87\x9C", "\x88\x9F", "\x98\x72", "\xE0\x40", "\xEA\xA4", "\xED\x40", "\xED\x7E",
      "\xEE\xEF", "\xEE\xFC", "\xF0\x40", "\xFA\x40", "\xFA\x55", "\xFA\x5C", "\xFB\x40",
      "\xFC\x4B", "\x00"s};
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) bytes += pieces[random() % pieces.size()];
    auto [asLoaded, asText] = WriteBothWays(bytes);
    ASSERT_EQ(asLoaded, asText) << "round " << round;
  }
}

}  // namespace
}  // namespace hq2hd::testing
