// Every call a run makes is made to fail, alone, in pairs, as the point where
// the process dies and as the point where the power fails; every allocation is
// made to fail. After each run the host's data must still be there.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <sstream>

#include "fault/AnomalyRun.h"
#include "fault/WorkFileCases.h"

namespace hq2hd::testing {
namespace {

struct Tally {
  long singleFaults = 0, doubleFaults = 0, crashPoints = 0, powerLosses = 0, allocationFaults = 0,
       briefHolds = 0, nextRuns = 0;
};

Tally tally;

class AnomalySummary : public ::testing::Environment {
 public:
  void SetUp() override { WarmUpProcessState(); }
  void TearDown() override {
    // A run filtered to other tests (the large line, say) has nothing to count.
    if (tally.singleFaults + tally.doubleFaults + tally.crashPoints + tally.powerLosses +
            tally.allocationFaults + tally.briefHolds ==
        0)
      return;
    const bool held = !::testing::UnitTest::GetInstance()->Failed();
    std::cout << "anomaly: " << tally.singleFaults << " single faults, " << tally.doubleFaults
              << " double faults, " << tally.crashPoints << " crash points, " << tally.powerLosses
              << " power losses (" << tally.nextRuns << " folders left by them run again), "
              << tally.allocationFaults << " allocation faults, " << tally.briefHolds
              << " brief holds; " << (held ? "every invariant held" : "AN INVARIANT WAS BREACHED")
              << std::endl;
  }
};

// gtest owns the environment.
[[maybe_unused]] ::testing::Environment* const summary =
    ::testing::AddGlobalTestEnvironment(new AnomalySummary);

std::string CallName(const CallRecord& call, int index) {
  return "call #" + std::to_string(index) + " " + call.function + "(" + call.argument + ") [" +
         Describe(call.kind) + "]";
}

// A killed process says nothing, so only runs that end by themselves must
// report a work file they did not rewrite.
std::string PairBreach(const WorkFileCase& workFile, const RunOutcome& outcome,
                       bool endedByItself = true) {
  if (std::string breach = SurvivalBreach(workFile, outcome); !breach.empty()) return breach;
  if (outcome.handlesLeftOpen != 0)
    return std::to_string(outcome.handlesLeftOpen) + " handle(s) left open";
  if (std::string problem = ReportLineProblem(outcome.stdoutBytes); !problem.empty())
    return problem;
  return endedByItself ? SilenceProblem(workFile, outcome) : std::string();
}

// The run after a crash, started as a host starts it: a work file that exists
// is whole, so only without one may the data be in the scratch copy; no new
// work file is left behind; and the rest as after a pair of faults.
std::string NextRunBreach(const WorkFileCase& workFile, const RunOutcome& outcome) {
  const std::optional<std::string>& data =
      outcome.workBytes ? outcome.workBytes : outcome.scratchBytes;
  if (!data || (*data != workFile.hostBytes && *data != workFile.expectedBytes))
    return outcome.workBytes ? "the work file holds neither the host's bytes nor the expected ones"
                             : "no work file, and the scratch copy holds no whole copy";
  if (outcome.newWorkFileLeft) return "a new work file was left behind";
  return PairBreach(workFile, outcome);
}

class AnomalySweep : public ::testing::TestWithParam<WorkFileCase> {
 protected:
  void SetUp() override {
    const RunOutcome clean = runner_.Run(GetParam(), [](auto&) {});
    ASSERT_TRUE(clean.workBytes.has_value());
    ASSERT_EQ(*clean.workBytes, GetParam().expectedBytes);
    ASSERT_EQ(clean.stdoutBytes,
              GetParam().report.empty() ? "" : ReportLineBytes(GetParam().report));
    ASSERT_FALSE(clean.scratchBytes.has_value());
    cleanTrace_ = runner_.Platform().Trace();
    cleanAllocations_ = clean.allocations;
  }

  AnomalyRunner runner_;
  std::vector<CallRecord> cleanTrace_;
  std::int64_t cleanAllocations_ = 0;
};

TEST_P(AnomalySweep, SingleFaultAtEveryCall) {
  for (int k = 1; k <= static_cast<int>(cleanTrace_.size()); ++k) {
    const CallRecord& call = cleanTrace_[k - 1];
    for (const Fault& fault : FaultsFor(call.kind)) {
      const RunOutcome outcome = runner_.Run(GetParam(), [&](auto& p) { p.FailCall(k, fault); });
      ++tally.singleFaults;
      if (std::string breach = SingleFaultBreach(GetParam(), outcome); !breach.empty()) {
        FAIL() << CallName(call, k) << " failing with " << Describe(fault) << ": " << breach << "\n"
               << runner_.Evidence(outcome);
      }
    }
  }
}

TEST_P(AnomalySweep, AllocationFailureAtEveryAllocation) {
  ASSERT_GT(cleanAllocations_, 0);
  for (std::int64_t k = 1; k <= cleanAllocations_; ++k) {
    const RunOutcome outcome = runner_.Run(
        GetParam(), [](auto&) {}, k);
    ++tally.allocationFaults;
    ASSERT_TRUE(outcome.allocationFailed) << "allocation #" << k << " was never made";
    if (std::string breach = SingleFaultBreach(GetParam(), outcome); !breach.empty()) {
      FAIL() << "allocation #" << k << " failing: " << breach << "\n" << runner_.Evidence(outcome);
    }
  }
}

TEST_P(AnomalySweep, EveryPairOfFaults) {
  // The large file's pairs are sampled: every first fault, every third second call.
  const int stride = GetParam().small ? 1 : 3;
  for (int first = 1; first <= static_cast<int>(cleanTrace_.size()); ++first) {
    for (const Fault& firstFault : FaultsFor(cleanTrace_[first - 1].kind)) {
      runner_.Run(GetParam(), [&](auto& p) { p.FailCall(first, firstFault); });
      const std::vector<CallRecord> afterFirst = runner_.Platform().Trace();
      for (int second = first + 1; second <= static_cast<int>(afterFirst.size());
           second += stride) {
        const CallRecord& call = afterFirst[second - 1];
        for (const Fault& secondFault : FaultsFor(call.kind)) {
          const RunOutcome outcome = runner_.Run(GetParam(), [&](auto& p) {
            p.FailCall(first, firstFault);
            p.FailCall(second, secondFault);
          });
          ++tally.doubleFaults;
          const auto& trace = runner_.Platform().Trace();
          ASSERT_TRUE(static_cast<int>(trace.size()) >= second &&
                      trace[second - 1].kind == call.kind)
              << "the run's calls differ from one run to the next at " << CallName(call, second);
          if (std::string breach = PairBreach(GetParam(), outcome); !breach.empty()) {
            FAIL() << CallName(cleanTrace_[first - 1], first) << " failing with "
                   << Describe(firstFault) << ", then " << CallName(call, second)
                   << " failing with " << Describe(secondFault) << ": " << breach << "\n"
                   << runner_.Evidence(outcome);
          }
        }
      }
    }
  }
}

TEST_P(AnomalySweep, CrashAtEveryCall) {
  // The power may also fail just after the run has ended: call n + 1.
  const CallRecord afterTheRun{CallKind::Query, "(after the run)", "", ""};
  // Many crash points leave the folder as an earlier one did; each state
  // left is run again once.
  std::set<std::string> statesRunAgain;
  for (int k = 1; k <= static_cast<int>(cleanTrace_.size()) + 1; ++k) {
    const bool ended = k > static_cast<int>(cleanTrace_.size());
    const CallRecord& call = ended ? afterTheRun : cleanTrace_[k - 1];
    for (Crash crash : {Crash::Kill, Crash::TornWrite, Crash::PowerLoss}) {
      if (crash == Crash::TornWrite && call.kind != CallKind::Write) continue;
      if (ended && crash != Crash::PowerLoss) continue;
      // A power loss may also lose any of the name changes that no folder
      // flush has followed: every choice of them, up to four changes.
      for (std::uint32_t lost = 0, choices = 1; lost < choices; ++lost) {
        const RunOutcome outcome = runner_.Run(GetParam(), [&](auto& p) {
          p.CrashAt(k, crash);
          p.lostNameChanges = lost;
        });
        if (crash == Crash::PowerLoss && lost == 0)
          choices = 1u << std::min(runner_.Platform().PendingNameChanges(), 4);
        ++(crash == Crash::PowerLoss ? tally.powerLosses : tally.crashPoints);
        const auto where = [&] {
          return std::string(crash == Crash::PowerLoss ? "power lost at " : "killed at ") +
                 CallName(call, k) + (crash == Crash::TornWrite ? " halfway through" : "") +
                 (lost != 0 ? " losing name changes " + std::to_string(lost) : "");
        };
        if (std::string breach = PairBreach(GetParam(), outcome, false); !breach.empty())
          FAIL() << where() << ": " << breach << "\n" << runner_.Evidence(outcome);
        // The host starts the program again on what is left: that run must
        // keep the host's data too, and take nothing it finds for it.
        if (!statesRunAgain.insert(runner_.FolderState()).second) continue;
        ++tally.nextRuns;
        const RunOutcome next = runner_.RunAsIs([](auto&) {});
        if (std::string breach = NextRunBreach(GetParam(), next); !breach.empty())
          FAIL() << where() << ", then run again: " << breach << "\n" << runner_.Evidence(next);
      }
    }
  }
}

// Every call in turn meets a brief hold: it fails for some tries with a code,
// then succeeds. The calls on files are tried again after waits of 25, 50, 75
// ms and so on, and the run ends as a clean run does; the other calls, and
// codes that no hold causes, are never tried again.
TEST_P(AnomalySweep, BriefHoldAtEveryCall) {
  const std::set<CallKind> retriedKinds{CallKind::Open,   CallKind::Read,     CallKind::Write,
                                        CallKind::Delete, CallKind::Rename,   CallKind::Query,
                                        CallKind::Flush,  CallKind::TimeWrite};
  struct Hold {
    std::uint32_t error;
    int tries;
    bool retried;
  };
  // Ten retries are the most there are. Access denied depends on what the
  // name is; the run table of the folder claim tests has its cases.
  const Hold holds[] = {{32, 10, true}, {33, 2, true}, {303, 2, true},  {1224, 2, true},
                        {2, 2, false},  {3, 2, false}, {123, 2, false}, {183, 2, false}};
  for (int k = 1; k <= static_cast<int>(cleanTrace_.size()); ++k) {
    const CallRecord& call = cleanTrace_[k - 1];
    for (const Hold& hold : holds) {
      const RunOutcome outcome = runner_.Run(GetParam(), [&](auto& p) {
        p.FailCall(k, Fault{Fault::Type::Error, hold.error, hold.tries});
      });
      ++tally.briefHolds;
      const bool retried = hold.retried && retriedKinds.contains(call.kind);
      std::vector<std::uint32_t> waits;
      for (int retry = 1; retried && retry <= hold.tries; ++retry)
        waits.push_back(static_cast<std::uint32_t>(25 * retry));
      const std::string what = CallName(call, k) + " failing " + std::to_string(hold.tries) +
                               " time(s) with error " + std::to_string(hold.error);
      ASSERT_EQ(runner_.Platform().sleeps, waits) << what << "\n" << runner_.Evidence(outcome);
      if (retried) {
        const std::string report =
            GetParam().report.empty() ? "" : ReportLineBytes(GetParam().report);
        ASSERT_TRUE(outcome.workBytes == GetParam().expectedBytes && !outcome.scratchBytes &&
                    outcome.stdoutBytes == report && outcome.handlesLeftOpen == 0)
            << what << ": the run did not end as a clean run\n"
            << runner_.Evidence(outcome);
      } else if (std::string breach = SingleFaultBreach(GetParam(), outcome); !breach.empty()) {
        FAIL() << what << ": " << breach << "\n" << runner_.Evidence(outcome);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(WorkFiles, AnomalySweep, ::testing::ValuesIn(WorkFileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hq2hd::testing
