// Failure classes, their ancestry, and every message the catalogue composes.
#include <gtest/gtest.h>

#include <functional>

#include "report/Exception.h"
#include "report/IoFailure.h"
#include "report/MessageFormat.h"
#include "report/OsMessage.h"
#include "support/ForwardingPlatform.h"

namespace hq2hd::testing {
namespace {

struct ClassCase {
  const char* name;
  std::function<void()> raise;
  bool isArgument, isStream, isFileStream, isFiler, isHeap;
};

class FailureClassTest : public ::testing::TestWithParam<ClassCase> {};

template <class Failure>
std::function<void()> Raise() {
  return [] { throw Failure(u"m"); };
}

TEST_P(FailureClassTest, PrintsItsStoredNameAndHasItsAncestry) {
  const ClassCase& c = GetParam();
  try {
    c.raise();
    FAIL() << "nothing raised";
  } catch (const Exception& failure) {
    EXPECT_STREQ(failure.ClassName(), c.name);
    EXPECT_EQ(dynamic_cast<const EArgumentException*>(&failure) != nullptr, c.isArgument);
    EXPECT_EQ(dynamic_cast<const EStreamError*>(&failure) != nullptr, c.isStream);
    EXPECT_EQ(dynamic_cast<const EFileStreamError*>(&failure) != nullptr, c.isFileStream);
    EXPECT_EQ(dynamic_cast<const EFilerError*>(&failure) != nullptr, c.isFiler);
    EXPECT_EQ(dynamic_cast<const EHeapException*>(&failure) != nullptr, c.isHeap);
    // Siblings: neither is the other.
    EXPECT_FALSE(dynamic_cast<const EInOutError*>(&failure) != nullptr &&
                 dynamic_cast<const EOSError*>(&failure) != nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tree, FailureClassTest,
    ::testing::Values(
        ClassCase{"EPathTooLongException", Raise<EPathTooLongException>(), false, false, false,
                  false, false},
        ClassCase{"ENotSupportedException", Raise<ENotSupportedException>(), false, false, false,
                  false, false},
        ClassCase{"EArgumentException", Raise<EArgumentException>(), true, false, false, false,
                  false},
        ClassCase{"EArgumentOutOfRangeException", Raise<EArgumentOutOfRangeException>(), true,
                  false, false, false, false},
        ClassCase{"EDirectoryNotFoundException", Raise<EDirectoryNotFoundException>(), false, false,
                  false, false, false},
        ClassCase{"EFileNotFoundException", Raise<EFileNotFoundException>(), false, false, false,
                  false, false},
        ClassCase{"EConvertError", Raise<EConvertError>(), false, false, false, false, false},
        ClassCase{"EOutOfMemory", Raise<EOutOfMemory>(), false, false, false, false, true},
        ClassCase{"EEncodingError", Raise<EEncodingError>(), false, false, false, false, false},
        ClassCase{"EFOpenError", Raise<EFOpenError>(), false, true, true, false, false},
        ClassCase{"EFCreateError", Raise<EFCreateError>(), false, true, true, false, false},
        ClassCase{"EWriteError", Raise<EWriteError>(), false, true, false, true, false},
        ClassCase{"EInOutError", [] { throw EInOutError(u"m", 5); }, false, false, false, false,
                  false},
        ClassCase{"EOSError", [] { throw EOSError(u"m", 5); }, false, false, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct IoCase {
  std::int32_t code;
  std::u16string message;
};

class IoFailureTest : public ::testing::TestWithParam<IoCase> {};

TEST_P(IoFailureTest, CheckIoRaisesTheCodesTextAndClearsTheResult) {
  IoStatus::Set(GetParam().code);
  try {
    CheckIo();
    FAIL() << "nothing raised";
  } catch (const EInOutError& failure) {
    EXPECT_EQ(failure.ErrorCode(), GetParam().code);
    EXPECT_EQ(failure.Message(), GetParam().message);
  }
  EXPECT_EQ(IoStatus::Peek(), 0);
  EXPECT_NO_THROW(CheckIo());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, IoFailureTest,
    ::testing::Values(IoCase{2, u"指定されたファイルが見つかりません"},
                      IoCase{3, u"ファイル名またはパスが正しくありません"},
                      IoCase{4, u"開かれたファイルが多すぎます。"},
                      IoCase{5, u"ファイルへのアクセスが拒否されました"},
                      IoCase{100, u"ファイルの末尾以降を読み取りました"},
                      IoCase{101, u"ディスクがいっぱいです"},
                      IoCase{106, u"入力値が数値ではありません"}, IoCase{32, u"I/O エラー 32"},
                      IoCase{103, u"I/O エラー 103"}, IoCase{105, u"I/O エラー 105"},
                      IoCase{-1, u"I/O エラー -1"}, IoCase{INT32_MIN, u"I/O エラー -2147483648"}));

TEST(MessageFormatTest, FillsPlaceholdersLeftToRightAndLeavesOthers) {
  EXPECT_EQ(FormatMessageText(u"%d-%s-%d", {7, u"x", -3}), u"7-x--3");
  EXPECT_EQ(FormatMessageText(u"100% %s", {u""}), u"100% ");
  EXPECT_EQ(FormatMessageText(u"%s", {u"%d"}), u"%d");
  EXPECT_EQ(DecimalText(static_cast<std::int32_t>(0x80000005u)), u"-2147483643");
}

// A platform whose system messages and last error the test chooses.
class MessagePlatform : public ForwardingPlatform {
 public:
  MessagePlatform() : ForwardingPlatform(platform::NativePlatform()) {}
  Text message;
  Text SystemMessage(std::uint32_t) override { return message; }
};

struct TrimCase {
  std::u16string system;
  std::u16string trimmed;
};

class OsMessageTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(OsMessageTest, TrimsTrailingBlanksControlsAndPeriodsOnly) {
  MessagePlatform fake;
  platform::ScopedPlatform scope(fake);
  fake.message = GetParam().system;
  EXPECT_EQ(OsMessage(2), GetParam().trimmed);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OsMessageTest,
    ::testing::Values(TrimCase{u"The system cannot find the file.\r\n",
                               u"The system cannot find the file"},
                      TrimCase{u"ファイルが見つかりません。\r\n", u"ファイルが見つかりません。"},
                      TrimCase{u". . .\r\n\t", u""}, TrimCase{u"", u""},
                      TrimCase{u"line one.\r\nline two.\r\n", u"line one.\r\nline two"},
                      TrimCase{u"keeps %1 inserts \r\n", u"keeps %1 inserts"}));

TEST(LastOsErrorTest, NonZeroCodeGivesCodeLineEndAndSystemMessage) {
  MessagePlatform fake;
  platform::ScopedPlatform scope(fake);
  fake.message = u"アクセスが拒否されました。\r\n";
  fake.SetLastError(5);
  try {
    RaiseLastOsError();
    FAIL() << "nothing raised";
  } catch (const EOSError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 5);
    EXPECT_EQ(failure.Message(), u"システム エラー。コード: 5。\r\nアクセスが拒否されました。");
  }
}

TEST(LastOsErrorTest, UnknownCodeEndsInLineEndAndZeroHasItsOwnText) {
  MessagePlatform fake;
  platform::ScopedPlatform scope(fake);
  fake.SetLastError(0xE0000001u);
  try {
    RaiseLastOsError();
    FAIL() << "nothing raised";
  } catch (const EOSError& failure) {
    EXPECT_EQ(failure.ErrorCode(), static_cast<std::int32_t>(0xE0000001u));
    EXPECT_EQ(failure.Message(), u"システム エラー。コード: -536870911。\r\n");
  }
  fake.SetLastError(0);
  try {
    RaiseLastOsError();
    FAIL() << "nothing raised";
  } catch (const EOSError& failure) {
    EXPECT_EQ(failure.ErrorCode(), 0);
    EXPECT_EQ(failure.Message(), u"OS 機能呼び出しの失敗");
  }
}

TEST(SystemMessageTest, KnownCodeHasTextUnknownCodeHasNone) {
  EXPECT_FALSE(OsMessage(2).empty());
  EXPECT_TRUE(OsMessage(0x3FFFFFFFu).empty());
}

}  // namespace
}  // namespace hq2hd::testing
