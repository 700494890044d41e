#ifndef _WIN32
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/posix/NameCodec.h"

namespace hq2hd::platform::posix {
namespace {

TEST(NameCodec, EverySingleByteRoundTrips) {
  for (int byte = 1; byte < 256; ++byte) {
    const std::string bytes(1, static_cast<char>(byte));
    EXPECT_EQ(EncodeName(DecodeName(bytes)), bytes) << byte;
  }
}

TEST(NameCodec, ArbitraryByteStringsRoundTrip) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(1, 40);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes(static_cast<std::size_t>(length(random)), '\0');
    for (char& b : bytes) b = static_cast<char>(byte(random));
    ASSERT_EQ(EncodeName(DecodeName(bytes)), bytes) << "round " << round;
  }
}

struct NameCase {
  const char* bytes;
  std::u16string units;
};

class NameDecoding : public testing::TestWithParam<NameCase> {};

TEST_P(NameDecoding, DecodesAndEncodesBack) {
  EXPECT_EQ(DecodeName(GetParam().bytes), GetParam().units);
  EXPECT_EQ(EncodeName(GetParam().units), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameDecoding,
    testing::Values(NameCase{"JWC_TEMP.TXT", u"JWC_TEMP.TXT"}, NameCase{"\xC3\xA9", u"\u00E9"},
                    NameCase{"\xE3\x81\x82.txt", u"\u3042.txt"},
                    // A 4-byte sequence is one surrogate pair.
                    NameCase{"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
                    NameCase{"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
                    // Invalid bytes: lone continuation, overlong, encoded surrogate,
                    // beyond U+10FFFF, truncated sequence.
                    NameCase{"a\x80z", u"a\xDC80z"}, NameCase{"\xC0\xAF", u"\xDCC0\xDCAF"},
                    NameCase{"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
                    NameCase{"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
                    NameCase{"\xE3\x81", u"\xDCE3\xDC81"}, NameCase{"\xFF", u"\xDCFF"}));

struct SurrogateCase {
  std::u16string units;
  const char* bytes;
};

class LoneSurrogateEncoding : public testing::TestWithParam<SurrogateCase> {};

// Outside U+DC80..U+DCFF a lone surrogate has no byte of its own and takes
// the generalized 3-byte form; reading those bytes back escapes them.
TEST_P(LoneSurrogateEncoding, UsesTheGeneralizedForm) {
  const std::string bytes = EncodeName(GetParam().units);
  EXPECT_EQ(bytes, GetParam().bytes);
  EXPECT_EQ(EncodeName(DecodeName(bytes)), bytes);
}

INSTANTIATE_TEST_SUITE_P(Table, LoneSurrogateEncoding,
                         testing::Values(SurrogateCase{u"\xD800", "\xED\xA0\x80"},
                                         SurrogateCase{u"\xDBFF", "\xED\xAF\xBF"},
                                         SurrogateCase{u"\xDC00", "\xED\xB0\x80"},
                                         SurrogateCase{u"\xDC7F", "\xED\xB1\xBF"},
                                         SurrogateCase{u"\xDD00", "\xED\xB4\x80"},
                                         SurrogateCase{u"\xDFFF", "\xED\xBF\xBF"},
                                         // A high surrogate at the end has no partner.
                                         SurrogateCase{u"a\xD83D", "a\xED\xA0\xBD"},
                                         // Reversed pair: two lone surrogates.
                                         SurrogateCase{u"\xDE00\xD83D",
                                                       "\xED\xB8\x80\xED\xA0\xBD"}));

}  // namespace
}  // namespace hq2hd::platform::posix
#endif
