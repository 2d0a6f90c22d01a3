// a100 Prepare the installation, a101 Complete the installation and a107 Query cancellation.
#include <gtest/gtest.h>

#include "actions/action_journal.h"
#include "actions/action_runner.h"
#include "database/database_file.h"
#include "expr/variables.h"
#include "session/subsystem_hooks.h"
#include "tests/actions/runner_fixture.h"
#include "ui/progress.h"

using namespace runner_test;

namespace {

constexpr uint32_t kA100 = TagOf("a100");
constexpr uint32_t kA101 = TagOf("a101");
constexpr uint32_t kA107 = TagOf("a107");

std::vector<uint32_t> g_events;
int32_t g_answerToRemoval;

int32_t RecordEvent(uint32_t code, uint32_t) {
  g_events.push_back(code);
  return code == 28 ? g_answerToRemoval : 0;
}

class InstallationActions : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    g_events.clear();
    g_answerToRemoval = 0;
    Hooks()->extension.send_event = RecordEvent;
    BuilderSetU32(installation_, 26, 2 << 16 | 5);
    BuilderSetU32(installation_, 27, 7 << 16 | 9);
  }
  void TearDown() override {
    Hooks()->extension.send_event = nullptr;
    RunnerTest::TearDown();
  }
  int32_t RunOne(uint32_t tag, uint64_t id) {
    uint64_t target = 0;
    SetupObject* action = ObjectTableFind(db_, 0, id);
    if (!action) action = Action(tag, id);
    return RunAction(db_, action, nullptr, &target);
  }
};

}  // namespace

TEST_F(InstallationActions, PrepareEntersTheInstallingStateOnce) {
  Link();
  EXPECT_EQ(RunOne(kA100, 10), kResultDone);
  EXPECT_EQ(SessionInstallState(session_), kStateInstalling);
  EXPECT_NE(DatabaseHeaderU64(db_, kHeaderInstallTime), 0u) << "a fresh install records its start time";
  EXPECT_EQ(g_events, std::vector<uint32_t>{7});
  EXPECT_TRUE(Traced(u"I1731", u"|Probe Product|1|"));
  EXPECT_TRUE(Traced(u"I1731", u"|2.5.7.9"));
  EXPECT_TRUE(Traced(u"I1734", u"|option states"));
  EXPECT_TRUE(Traced(u"I1735", u"|file installation"));
  EXPECT_EQ(RunOne(kA100, 11), kResultCancelled) << "a second prepare is refused";
  EXPECT_EQ(SessionInstallState(session_), kStateAborted);
  EXPECT_EQ(SessionExitCode(session_), 6);
}

TEST_F(InstallationActions, AnInstalledRunKeepsItsTime) {
  Link();
  VariableSetInt(db_, 503, 1);
  VariableSetInt(db_, 508, kRunModeRepair);
  EXPECT_EQ(RunOne(kA100, 10), kResultDone);
  EXPECT_EQ(DatabaseHeaderU64(db_, kHeaderInstallTime), 0u);
  EXPECT_FALSE(Traced(u"I1735"));
}

TEST_F(InstallationActions, PrepareRefusesAnUnknownMode) {
  Link();
  VariableSetInt(db_, 508, kRunModeUnknown);
  EXPECT_EQ(RunOne(kA100, 10), kResultCancelled);
  EXPECT_EQ(SessionInstallState(session_), kStateAborted);
}

TEST_F(InstallationActions, ExtensionMayRefuseARemoval) {
  Link();
  VariableSetInt(db_, 508, kRunModeRemove);
  g_answerToRemoval = 2;
  EXPECT_EQ(RunOne(kA100, 10), kResultCancelled);
  EXPECT_EQ(SessionExitCode(session_), 18);
  EXPECT_EQ(g_events, std::vector<uint32_t>{28});
  g_answerToRemoval = 0;
  EXPECT_EQ(RunOne(kA100, 11), kResultDone);
}

TEST_F(InstallationActions, CompleteRequiresInstallingThenFinalizesAndCompletes) {
  Link();
  EXPECT_EQ(RunOne(kA101, 10), kResultFailed);
  Action(kA100, 11);
  Action(kProbeTag, 12);
  Action(kA101, 13);
  Action(kProbeTag, 14);
  Sequence(1, {11, 12, 13, 14});
  VariableSetInt(db_, 506, 2);
  EXPECT_EQ(Run(1), 0);
  EXPECT_EQ(SessionInstallState(session_), kStateCompleted);
  EXPECT_EQ(session_->phase, kPhaseCompleting);
  EXPECT_EQ(Probe().calls, (std::vector<std::string>{"run:12", "finalize:12", "run:14"}));
  EXPECT_EQ(Value(507), u"1") << "restart level 2 requests a restart";
  EXPECT_EQ(ProgressPosition(), kProgressEnd);
  EXPECT_EQ(g_events, (std::vector<uint32_t>{7, 8}));
  EXPECT_TRUE(Traced(u"I1737", u"|file installation"));
}

TEST_F(InstallationActions, QueryCancellation) {
  Link();
  // Quiet: the question takes its default, No.
  EXPECT_EQ(RunOne(kA107, 10), kResultCancelled);
  EXPECT_EQ(SessionInstallState(session_), 0);
  EXPECT_TRUE(Traced(u"I0013", u"|The installation of Probe Product is not complete yet."));
  // Cancelling not allowed by the database's mask.
  BuilderSetU32(installation_, 14, 0x1);
  EXPECT_EQ(RunOne(kA107, 10), kResultCancelled);
  BuilderSetU32(installation_, 14, 0xFFFFFFFF);
  // An installation that already failed is cancelled at once.
  SessionSetState(session_, kStateAborted);
  EXPECT_EQ(RunOne(kA107, 10), kResultDone);
  EXPECT_TRUE(session_->cancel_requested);
  EXPECT_EQ(RunOne(kA107, 10), kResultDone) << "a cancellation under way goes on";
}

TEST_F(InstallationActions, QueryCancellationAfterCompletionIsRefused) {
  Link();
  Action(kA100, 11);
  Action(kA101, 12);
  Sequence(1, {11, 12});
  Run(1);
  EXPECT_EQ(RunOne(kA107, 10), kResultCancelled);
  EXPECT_EQ(SessionInstallState(session_), kStateCompleted);
}

TEST_F(InstallationActions, NegativeStateIsFinalAndRecordsItsExitCode) {
  Link();
  SessionSetState(session_, kStateCancelled);
  SessionSetState(session_, kStateAborted);
  SessionSetState(session_, kStateCompleted);
  EXPECT_EQ(SessionInstallState(session_), kStateCancelled);
  EXPECT_EQ(SessionExitCode(session_), 5);
  EXPECT_EQ(Value(509), u"-2");
  EXPECT_EQ(Value(502), u"5");
  EXPECT_EQ(CountTraced(u"W0001", u"|-2|5"), 1u);
  EXPECT_EQ(g_events, std::vector<uint32_t>{9});
}
