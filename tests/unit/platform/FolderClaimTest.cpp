// The claim through which runs in one program folder take turns, on the real
// backend: a second claim on the same folder waits for the first to be
// released, for a bounded time; a claim on another folder does not. The
// flushes the run relies on succeed on an ordinary folder and file, and fail
// with a code otherwise. And whole runs through the fault double whose folder
// or files another process holds, briefly or for good, on the double's clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/FolderClaim.h"
#include "platform/Platform.h"
#include "support/RunFixture.h"
#include "support/TempDir.h"

namespace hq2hd::testing {
namespace {

using platform::Handle;
using platform::InvalidHandle;

constexpr std::uint32_t Long = 60'000;

#ifdef _WIN32
Text Upper(Text name) {
  for (char16_t& unit : name)
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  return name;
}
#endif

struct ClaimCase {
  const char* name;
  // The second claim's folder, from the first one's.
  Text (*secondFolder)(const TempDir& first, const TempDir& other);
  bool waits;
};

class FolderClaimTest : public ::testing::TestWithParam<ClaimCase> {};

TEST_P(FolderClaimTest, SecondClaimWaitsOnlyForItsOwnFolder) {
  platform::Platform& os = platform::NativePlatform();
  TempDir first, other;
  const Handle held = os.ClaimFolder(first.Name(""), Long);
  ASSERT_NE(held, InvalidHandle);

  std::atomic<bool> claimed{false};
  std::thread second([&] {
    const Handle claim = os.ClaimFolder(GetParam().secondFolder(first, other), Long);
    claimed = claim != InvalidHandle;
    if (claim != InvalidHandle) os.ReleaseFolderClaim(claim);
  });
  if (GetParam().waits) {
    // Time enough for a claim that does not wait to have been made.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(claimed) << "the second claim did not wait";
    os.ReleaseFolderClaim(held);
    second.join();
    EXPECT_TRUE(claimed);
  } else {
    second.join();
    EXPECT_TRUE(claimed);
    os.ReleaseFolderClaim(held);
  }
  // Nothing is made in the folder for the claim.
  EXPECT_TRUE(std::filesystem::is_empty(first.Path()));
}

const ClaimCase claimCases[] = {
    {"SameFolder", [](const TempDir& first, const TempDir&) { return first.Name(""); }, true},
#ifdef _WIN32
    // Windows names one folder in any case.
    {"SameFolderInUpperCase",
     [](const TempDir& first, const TempDir&) { return Upper(first.Name("")); }, true},
#endif
    {"OtherFolder", [](const TempDir&, const TempDir& other) { return other.Name(""); }, false},
};

INSTANTIATE_TEST_SUITE_P(Claims, FolderClaimTest, ::testing::ValuesIn(claimCases),
                         [](const auto& info) { return std::string(info.param.name); });

#ifdef _WIN32
// A run killed while it holds the claim leaves an abandoned mutex, which the
// next claim takes as released. A thread that ends holding it does the same.
TEST(FolderClaimAbandoned, IsTakenByTheNextClaim) {
  platform::Platform& os = platform::NativePlatform();
  TempDir folder;
  std::thread([&] { ASSERT_NE(os.ClaimFolder(folder.Name(""), Long), InvalidHandle); }).join();
  const Handle claim = os.ClaimFolder(folder.Name(""), Long);
  ASSERT_NE(claim, InvalidHandle);
  os.ReleaseFolderClaim(claim);
}
#endif

// The wait is bounded: past it the claim is refused with WaitTimeout, and the
// holder keeps it.
TEST(FolderClaimBound, EndsTheWaitWithWaitTimeout) {
  platform::Platform& os = platform::NativePlatform();
  TempDir folder;
  const Handle held = os.ClaimFolder(folder.Name(""), Long);
  ASSERT_NE(held, InvalidHandle);
  std::thread([&] {
    const std::uint64_t started = os.TickCount();
    EXPECT_EQ(os.ClaimFolder(folder.Name(""), 100), InvalidHandle);
    EXPECT_EQ(os.LastError(), platform::error::WaitTimeout);
    EXPECT_GE(os.TickCount() - started, 50u);
  }).join();
  os.ReleaseFolderClaim(held);
  const Handle next = os.ClaimFolder(folder.Name(""), 0);
  EXPECT_NE(next, InvalidHandle);
  if (next != InvalidHandle) os.ReleaseFolderClaim(next);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(FolderFlush, FlushesAFolderAndAWrittenFile) {
  platform::Platform& os = platform::NativePlatform();
  TempDir dir;
  EXPECT_TRUE(os.FlushFolder(dir.Name("")));
  const Handle file =
      os.CreateFile(dir.Name("a.txt"), platform::GenericRead | platform::GenericWrite, 0,
                    platform::CreateAlways, platform::FileAttributeNormal);
  ASSERT_NE(file, InvalidHandle);
  std::uint32_t done = 0;
  ASSERT_TRUE(os.WriteFile(file, "hd\r\n", 4, done));
  EXPECT_TRUE(os.FlushFileBuffers(file));
  ASSERT_TRUE(os.CloseHandle(file));
  EXPECT_EQ(ReadBytes(dir.Path() / "a.txt"), "hd\r\n");
  os.SetLastError(0);
  EXPECT_FALSE(os.FlushFileBuffers(file));
  EXPECT_EQ(os.LastError(), platform::error::InvalidHandle);
}

const std::string hostBytes = "a\r\nhq\r\n";
const std::string rewrittenBytes = "a\r\nhd\r\n";

struct HoldCase {
  const char* name;
  void (*arrange)(CountingPlatform&, const std::filesystem::path& workFile);
  // What the work file holds afterwards; not looked at when empty.
  std::string workBytes;
  std::u16string report;
  std::vector<std::uint32_t> waits;
  std::uint64_t clockMs;
  // The report only begins so: the system's own text follows.
  bool reportHead = false;
};

class RunHoldTest : public RunFixture, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(RunHoldTest, RidesOutBriefHoldsAndEndsHeldOnesAsWithoutRetries) {
  const HoldCase& hold = GetParam();
  WriteBytes(WorkFile(), hostBytes);
  hold.arrange(platform_, WorkFile());
  Run();
  std::filesystem::permissions(WorkFile(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  if (!hold.workBytes.empty()) {
    EXPECT_EQ(ReadBytes(WorkFile()), hold.workBytes);
  }
  EXPECT_EQ(Listing(), std::set<std::string>{"JWC_TEMP.TXT"}) << platform_.TraceText();
  if (hold.reportHead) {
    const std::string head =
        ReportBytes(hold.report).substr(0, ReportBytes(hold.report).size() - 2);
    EXPECT_TRUE(platform_.stdoutBytes.starts_with(head)) << platform_.stdoutBytes;
  } else {
    EXPECT_EQ(platform_.stdoutBytes, hold.report.empty() ? "" : ReportBytes(hold.report));
  }
  EXPECT_EQ(platform_.sleeps, hold.waits) << platform_.TraceText();
  EXPECT_EQ(platform_.clockMs, hold.clockMs);
  EXPECT_EQ(platform_.HandlesLeftOpen(), 0u);
}

// The waits of the retries of one call: 25 ms more each time, ten at most.
std::vector<std::uint32_t> Waits(int retries) {
  std::vector<std::uint32_t> waits;
  for (int retry = 1; retry <= retries; ++retry) waits.push_back(25u * retry);
  return waits;
}

std::vector<std::uint32_t> operator+(std::vector<std::uint32_t> first,
                                     const std::vector<std::uint32_t>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

const HoldCase holdCases[] = {
    // Past the bound nothing is touched: the claim is the run's first call.
    {"ClaimHeldPastTheBound",
     [](CountingPlatform& p, const auto&) { p.claimHeldMs = FolderClaim::WaitMs() + 1; },
     hostBytes,
     u"EInOutError: I/O エラー 32",
     {},
     FolderClaim::WaitMs()},
    {"ClaimHeldUpToTheBound",
     [](CountingPlatform& p, const auto&) { p.claimHeldMs = FolderClaim::WaitMs(); },
     rewrittenBytes,
     u"",
     {},
     FolderClaim::WaitMs()},
    // A scanner that opened the work file without sharing lets go.
    {"WorkFileOpenHeldTenTries",
     [](CountingPlatform& p, const auto&) {
       p.createFaultName = u"JWC_TEMP.TXT";
       p.createFault = {1, 32, false, 0, 10};
     },
     rewrittenBytes, u"", Waits(10), 1375},
    {"WorkFileDeleteHeldFourTries",
     [](CountingPlatform& p, const auto&) {
       p.deleteFault = {1, 32, false, 0, 4};
     },
     rewrittenBytes, u"", Waits(4), 250},
    // The new scratch copy, opened by a scanner as soon as it appeared.
    {"ScratchDeleteHeldTwoTries",
     [](CountingPlatform& p, const auto&) {
       p.deleteFault = {2, 33, false, 0, 2};
     },
     rewrittenBytes, u"", Waits(2), 75},
    // Held for good: the run ends as it did without retries, a little later.
    {"WorkFileHeldWithoutSharingForGood",
     [](CountingPlatform& p, const auto&) {
       p.createFaultName = u"JWC_TEMP.TXT";
       p.createFault = {1, 32, true};
     },
     hostBytes, u"EInOutError: I/O エラー 103", Waits(10), 1375},
    // Its delete and the move over it both wait; the run's waits end at 2 s.
    {"WorkFileHeldByAReaderForGood",
     [](CountingPlatform& p, const auto&) {
       p.deleteFault = {1, 32};
       p.moveFault = {1, 5};
       p.createFaultName = u"JWC_TEMP.TXT";
       p.createFault = {2, 32};
     },
     hostBytes, u"EFCreateError: ファイル \"",
     Waits(10) + std::vector<std::uint32_t>{25, 50, 75, 100, 125, 150, 100}, 2000, true},
    // An access denial waits where a held file may be behind it: a file that
    // is there and writable (a file being deleted denies access).
    {"WorkFileDeleteDeniedThreeTries",
     [](CountingPlatform& p, const auto&) {
       p.deleteFault = {1, 5, false, 0, 3};
     },
     rewrittenBytes, u"", Waits(3), 150},
    // No file to be held: a name the folder refuses to take.
    {"ScratchCopyDeniedIsNotWaitedFor",
     [](CountingPlatform& p, const auto&) {
       p.createFaultName = u"TEMP.TXT";
       p.createFault = {1, 5};
     },
     hostBytes,
     u"EInOutError: ファイルへのアクセスが拒否されました",
     {},
     0},
    {"FolderDeniedIsNotWaitedFor",
     [](CountingPlatform& p, const auto&) {
       p.folderFlushFault = {1, 5};
     },
     hostBytes,
     u"EOSError: システム エラー。コード: 5。",
     {},
     0,
     true},
    // A read-only file is refused for good: no wait. Wine, run as root,
    // replaces it all the same; Windows answers the move with 5.
    {"ReadOnlyWorkFileIsNotWaitedFor",
     [](CountingPlatform& p, const std::filesystem::path& workFile) {
       std::filesystem::permissions(workFile, std::filesystem::perms::owner_write,
                                    std::filesystem::perm_options::remove);
       p.deleteFault = {1, 5};
       p.moveFault = {1, 5};
     },
     hostBytes,
     u"EFCreateError: ファイル \"",
     {},
     0,
     true},
};

INSTANTIATE_TEST_SUITE_P(Holds, RunHoldTest, ::testing::ValuesIn(holdCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
