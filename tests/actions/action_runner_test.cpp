// The runner: pre-checks, result codes, nesting, journal, abort rule and the flow actions.
#include <gtest/gtest.h>

#include "actions/abort_on_failure.h"
#include "actions/action_journal.h"
#include "actions/action_runner.h"
#include "actions/architecture.h"
#include "actions/dialog_result.h"
#include "expr/variables.h"
#include "resources/string_ids.h"
#include "tests/actions/runner_fixture.h"

using namespace runner_test;

namespace {

constexpr uint32_t kA000 = TagOf("a000");
constexpr uint32_t kA001 = TagOf("a001");
constexpr uint32_t kA002 = TagOf("a002");
constexpr uint32_t kA003 = TagOf("a003");
constexpr uint32_t kA004 = TagOf("a004");
constexpr uint32_t kA006 = TagOf("a006");
constexpr uint32_t kA200 = TagOf("a200");
constexpr uint32_t kA213 = TagOf("a213");

using Calls = std::vector<std::string>;

}  // namespace

TEST_F(RunnerTest, ConditionsDecideAndSkippedActionsStayOutOfTheJournal) {
  Action(kProbeTag, 10);
  Action(kProbeTag, 11, 0, u"0");
  Action(kProbeTag, 12, 0, u"1");
  Action(kProbeTag, 13, kActionFlagNotJournaled);
  Sequence(1, {10, 11, 12, 13});
  Link();
  EXPECT_EQ(Run(1), 0);
  EXPECT_EQ(Probe().calls, (Calls{"run:10", "run:12", "run:13"}));
  EXPECT_TRUE(Traced(u"I1716"));  // condition false
  JournalRollback();
  EXPECT_EQ(Probe().calls, (Calls{"run:10", "run:12", "run:13", "rollback:12", "rollback:10"}));
  EXPECT_EQ(JournalOldest(), nullptr);
}

TEST_F(RunnerTest, FinalizeWalksOldestFirst) {
  Action(kProbeTag, 10);
  Action(kProbeTag, 11);
  Sequence(1, {10, 11});
  Link();
  Run(1);
  JournalFinalize();
  EXPECT_EQ(Probe().calls, (Calls{"run:10", "run:11", "finalize:10", "finalize:11"}));
  EXPECT_EQ(Value(501), u"Finalizing the installation...");
}

TEST_F(RunnerTest, ArchitectureAndInterfaceLevelChecks) {
  SetupObject* foreign = Action(kProbeTag, 10);
  BuilderSetU32(foreign, kActionArchitectureMask, kAllArchitectures & ~Machine().native);
  SetupObject* none = Action(kProbeTag, 11);
  BuilderSetInt(none, kActionCapabilityMatch, kMatchNone);
  Action(kProbeTag, 12, kActionFlagFullUiOnly);
  Action(kProbeTag, 13);
  SetupObject* nowhere = Action(kProbeTag, 14);
  BuilderSetU32(nowhere, kActionArchitectureMask, 0);
  Sequence(1, {10, 11, 12, 13, 14});
  Link();
  Run(1);
  EXPECT_EQ(Probe().calls, (Calls{"run:13"}));
  EXPECT_TRUE(Traced(u"I1714", u"|A10|"));
  EXPECT_TRUE(Traced(u"I1714", u"|A14|0x00000000|"));
  EXPECT_TRUE(Traced(u"I1715", u"|A11|"));
  EXPECT_TRUE(Traced(u"I1717", u"|A12|2"));
}

TEST(ArchitectureMatch, Modes) {
  const uint32_t x86x64 = kArchitectureX86 | kArchitectureX64;
  struct Case {
    uint32_t mask;
    int32_t mode;
    bool matches;
  } cases[] = {
      {kArchitectureX64, kMatchAny, true},        {kArchitectureArm64, kMatchAny, false},
      {x86x64, kMatchAll, true},                  {x86x64 | kArchitectureArm64, kMatchAll, false},
      {x86x64, kMatchEqual, true},                {kArchitectureX86, kMatchEqual, false},
      {kArchitectureArm64, kMatchNone, true},     {kArchitectureX86, kMatchNone, false},
      {kArchitectureX64, 9, true},                {0, kMatchAny, false},
  };
  for (const Case& c : cases) EXPECT_EQ(ArchitectureMatches(c.mask, x86x64, c.mode), c.matches) << c.mask << "/" << c.mode;
  EXPECT_TRUE(Machine().runnable & kArchitectureX86);
  EXPECT_TRUE(Machine().runnable & Machine().native);
}

TEST_F(RunnerTest, BackRerunsTheNearestRunnableActionAndTheFirstFromTheStart) {
  Action(kProbeTag, 10);
  Action(kProbeTag, 11, 0, u"0");
  Action(kProbeTag, 12);
  Probe().results[12] = {kResultBack, kResultDone};
  Probe().results[10] = {kResultBack, kResultDone};
  Sequence(1, {10, 11, 12});
  Link();
  EXPECT_EQ(Run(1), 0);
  // 10 goes back from the first action: it runs again; 12 goes back past the skipped 11 to 10.
  EXPECT_EQ(Probe().calls, (Calls{"run:10", "run:10", "run:12", "run:10", "run:12"}));
}

TEST_F(RunnerTest, BackToDialogOnlyStopsAtDialogActions) {
  Action(kProbeTag, 10);
  Action(kProbeTag, 11);
  Probe().results[11] = {kResultBackToDialog, kResultDone};
  Sequence(1, {10, 11});
  Link();
  Run(1);
  // No run-dialog action before it: the sequence starts over.
  EXPECT_EQ(Probe().calls, (Calls{"run:10", "run:11", "run:10", "run:11"}));
}

TEST_F(RunnerTest, GoToAndTransfer) {
  SetupObject* jump = Action(kA006, 10);
  BuilderSetId(jump, kActionTarget, 13);
  Action(kProbeTag, 11);
  SetupObject* self = Action(kA006, 12);
  BuilderSetId(self, kActionTarget, 12);
  Action(kProbeTag, 13);
  SetupObject* transfer = Action(kA002, 14);
  BuilderSetId(transfer, kActionTarget, 2);
  Action(kProbeTag, 15);
  Sequence(1, {10, 11, 12, 13, 14, 15});
  Action(kProbeTag, 20);
  Probe().results[20] = {kResultDone, kResultTerminate};
  SetupObject* again = Action(kA002, 21);
  BuilderSetId(again, kActionTarget, 2);
  Sequence(2, {20, 21});
  Link();
  EXPECT_EQ(Run(1), 0);
  // 10 jumps over 11 and 12 to 13; 14 transfers to sequence 2, which transfers to itself and
  // starts over until 20 terminates it; 15 never runs.
  EXPECT_EQ(Probe().calls, (Calls{"run:13", "run:20", "run:20"}));
  SetupObject* missing = Action(kA002, 30);
  BuilderSetId(missing, kActionTarget, 99);
  Sequence(3, {30});
  EXPECT_EQ(Run(3), kResultMissing);
  EXPECT_TRUE(Traced(u"W1706", u"|A30|0000000000000063"));
}

TEST_F(RunnerTest, GoToItselfGoesOnWithTheNextAction) {
  SetupObject* self = Action(kA006, 10);
  BuilderSetId(self, kActionTarget, 10);
  Action(kProbeTag, 11);
  Sequence(1, {10, 11});
  Link();
  EXPECT_EQ(Run(1), 0);
  EXPECT_EQ(Probe().calls, (Calls{"run:11"}));
  EXPECT_TRUE(Traced(u"W1704"));
}

TEST_F(RunnerTest, ResultCodesStopOrContinue) {
  struct Case {
    int32_t result;
    int32_t sequence_result;
    bool next_runs;
  } cases[] = {{kResultFatal, kResultFatal, false}, {kResultCancelled, kResultCancelled, false},
               {kResultFailed, 0, false},           {kResultMissing, 0, false},
               {kResultStop, 0, false},             {kResultDoneToo, 0, true},
               {kResultSkipped, 0, true},           {kResultTerminate, 0, false},
               {42, 0, false}};
  Action(kProbeTag, 10);
  Action(kProbeTag, 11);
  Sequence(1, {10, 11});
  Link();
  for (const Case& c : cases) {
    Probe().calls.clear();
    Probe().results[10] = {c.result};
    EXPECT_EQ(Run(1), c.sequence_result) << c.result;
    EXPECT_EQ(Probe().calls.size(), c.next_runs ? 2u : 1u) << c.result;
  }
  EXPECT_TRUE(Traced(u"W1707", u"|A10|42"));
}

TEST_F(RunnerTest, BuiltInFlowActionsAndClassesWithoutMethods) {
  Action(kA000, 10);
  Action(TagOf("a129"), 11);
  Action(TagOf("a115"), 12);  // file installation: no methods registered yet
  Action(kProbeTag, 13);
  Action(kA004, 14);
  Action(kProbeTag, 15);
  Sequence(1, {10, 11, 12, 13, 14, 15});
  Link();
  EXPECT_EQ(Run(1), 0);
  EXPECT_EQ(Probe().calls, (Calls{"run:13"}));
  EXPECT_TRUE(Traced(u"W1703", u"|A12|a115"));
  uint64_t target = 0;
  EXPECT_EQ(RunAction(db_, ObjectTableFind(db_, 0, 12), nullptr, &target), kResultSkipped);
  EXPECT_EQ(RunAction(db_, nullptr, nullptr, &target), kResultMissing);
  EXPECT_EQ(RunAction(db_, ObjectTableFind(db_, 0, 10), nullptr, &target), kResultSkipped);
  EXPECT_EQ(JournalOldest()->action, ObjectTableFind(db_, 0, 13)) << "only actions with a run method are journaled";
  EXPECT_EQ(JournalOldest(), JournalNewest());
}

TEST_F(RunnerTest, SixteenNestedRunsAreAllowedTheSeventeenthAborts) {
  // Sequence k (1..17) holds one a001 that runs sequence k + 1; sequence `depth` holds the probe.
  auto build = [&](uint64_t depth) {
    for (uint64_t k = 1; k < depth; ++k) {
      SetupObject* call = Action(kA001, 100 * depth + k);
      BuilderSetId(call, kActionTarget, 1000 * depth + k + 1);
      Sequence(1000 * depth + k, {100 * depth + k});
    }
    Action(kProbeTag, 100 * depth + depth);
    Sequence(1000 * depth + depth, {100 * depth + depth});
  };
  build(16);
  build(17);
  Link();
  EXPECT_EQ(Run(1000 * 16 + 1), 0);
  EXPECT_EQ(Probe().calls, (Calls{"run:1616"}));
  EXPECT_EQ(SessionInstallState(session_), 0);
  EXPECT_EQ(Run(1000 * 17 + 1), kResultFatal);
  EXPECT_EQ(Probe().calls.size(), 1u);
  EXPECT_EQ(SessionInstallState(session_), kStateAborted);
  EXPECT_TRUE(Traced(u"E1709", u"|S17017|16"));
  EXPECT_TRUE(Traced(u"I0013", u"An installation action failed."));
  EXPECT_EQ(RunnerNesting(), 0);
}

LRESULT CALLBACK CountEnds(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static int* ends = nullptr;
  if (message == WM_USER) ends = reinterpret_cast<int*>(lParam);
  if (message == kDialogEndMessage && wParam == kDialogEndByRunner && ends) ++*ends;
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(RunnerTest, ModelessDialogsCloseWhenTheirSequenceEndsWithAResult) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = CountEnds;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"RunnerModeless";
  RegisterClassW(&windowClass);
  static HWND dialog;
  dialog = CreateWindowW(L"RunnerModeless", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  int ends = 0;
  SendMessageW(dialog, WM_USER, 0, reinterpret_cast<LPARAM>(&ends));
  Action(kProbeTag, 20);
  Probe().effects[20] = [](SetupObject*) { RunnerRegisterModelessDialog(dialog); };
  Sequence(2, {20});
  SetupObject* call = Action(kA001, 10);
  BuilderSetId(call, kActionTarget, 2);
  Sequence(1, {10});
  Link();
  Run(1);
  EXPECT_EQ(ends, 0) << "a nested sequence that ends with 0 leaves its dialogs open";
  Probe().results[20] = {kResultCancelled};
  EXPECT_EQ(Run(1), kResultCancelled);
  EXPECT_EQ(ends, 1) << "the nested run that started it ends with -4";
  DestroyWindow(dialog);
}

TEST_F(RunnerTest, AFaultInsideARunStopsTheSequenceWithFailed) {
  Action(kProbeTag, 10);
  Probe().effects[10] = [](SetupObject*) { *static_cast<volatile int*>(nullptr) = 1; };
  Action(kProbeTag, 11);
  Sequence(1, {10, 11});
  Link();
  EXPECT_EQ(Run(1), kResultFailed);
  EXPECT_EQ(Probe().calls, (Calls{"run:10"}));
  EXPECT_EQ(RunnerNesting(), 0);
  EXPECT_TRUE(Traced(u"E0001"));
}

TEST_F(RunnerTest, DescriptionIsLoadedSubstitutedAndPublished) {
  Variable(700, u"Who", u"World");
  SetupObject* plain = Action(kProbeTag, 10);
  BuilderSetU32(plain, kActionProgressTextId, 543);
  SetupObject* own = Action(kProbeTag, 11);
  BuilderSetLocalized(own, kActionDescription, u"Hello <Who>", nullptr, 0);
  Sequence(1, {10});
  Sequence(2, {11});
  Link();
  Run(1);
  EXPECT_EQ(Value(501), u"Installing files");
  const LocalizedText* stored = nullptr;
  BuilderGetLocalized(plain, kActionDescription, &stored);
  EXPECT_EQ(std::u16string(stored->text), u"Installing files") << "the loaded text is kept as the description";
  Run(2);
  EXPECT_EQ(Value(501), u"Hello World");
}

TEST_F(RunnerTest, AbortRuleFollowsBothMasksAndThePhase) {
  Link();
  struct Case {
    uint32_t session_mask;
    uint32_t database_mask;
    uint32_t flags;
    int32_t run_mode;
    int32_t phase;
    bool aborted;
  } cases[] = {
      {0xFFFFFFFF, 0x1, 0x1, kRunModeInstall, kPhaseRunning, true},
      {0xFFFFFFFF, 0x2, 0x1, kRunModeInstall, kPhaseRunning, false},
      {0xFFFFFFFF, 0, kFailureAlways, kRunModeInstall, kPhaseRunning, true},
      {0, 0xFFFFFFFF, kFailureAlways | 0x1, kRunModeInstall, kPhaseRunning, false},    // /f
      {0x80000004, 0xFFFFFFFF, 0x1, kRunModeInstall, kPhaseRunning, false},           // /e4
      {0x80000004, 0, kFailureAlways | 0x4, kRunModeInstall, kPhaseRunning, true},    // bit 31 of /e
      {0xFFFFFFFF, 0xFFFFFFFF, 0x1, kRunModeRemove, kPhaseRunning, false},
      {0xFFFFFFFF, 0xFFFFFFFF, 0x1, kRunModeInstall, kPhaseCompleting, false},
  };
  for (const Case& c : cases) {
    session_->error_abort_mask = c.session_mask;
    BuilderSetU32(installation_, 14, c.database_mask);
    VariableSetInt(db_, 508, c.run_mode);
    VariableSetInt(db_, 509, 0);
    session_->state = 0;
    session_->phase = c.phase;
    EXPECT_EQ(AbortOnFailure(c.flags, false), c.aborted) << std::hex << c.session_mask << " " << c.flags;
    EXPECT_EQ(SessionInstallState(session_), c.aborted ? kStateAborted : 0);
  }
  EXPECT_EQ(AbortMessageId(0x1 | 0x2), uint32_t(IDS_ABORT_FILES));
  EXPECT_EQ(AbortMessageId(0x10), uint32_t(IDS_ABORT_CONFIGURATION));
  EXPECT_EQ(AbortMessageId(0x1000), uint32_t(IDS_ABORT_EXTERNAL));
  EXPECT_EQ(AbortMessageId(0x8000), uint32_t(IDS_ABORT_DOWNLOAD));
  EXPECT_EQ(AbortMessageId(0x80000400), uint32_t(IDS_ABORT_ACTION));
}

TEST(DialogResult, Mapping) {
  const std::pair<int, int32_t> cases[] = {{-1, -2}, {1, 0}, {2, 6}, {3, 6}, {4, 4}, {5, 0}, {6, 0},
                                           {7, 6},   {10, 4}, {11, 0}, {12323, 5}};
  for (const auto& c : cases) EXPECT_EQ(ActionResultFromDialog(c.first), c.second) << c.first;
}

uint64_t g_retryBox;

TEST_F(RunnerTest, MessageBoxAnswersSteerTheSequenceInQuietMode) {
  struct Case {
    int answer;
    uint32_t flags;
    int32_t sequence_result;
    size_t probe_runs;
  } cases[] = {{IDOK, 0, 0, 2},         {IDNO, 0, 0, 1},          {IDRETRY, 0, 0, 3},
               {-1, 0, 0, 1},           {IDOK, 0x10000, kResultCancelled, 1},
               {IDCANCEL, 0x20000, kResultCancelled, 1}, {IDYES, 0x20000, 0, 2}};
  Link();
  uint64_t base = 100;
  for (const Case& c : cases) {
    base += 10;
    Action(kProbeTag, base);
    SetupObject* box = Action(kA200, base + 1, c.flags);
    BuilderSetLocalized(box, kActionDescription, u"Question 100%?", nullptr, 0);
    BuilderSetInt(box, 24, c.answer);
    Action(kProbeTag, base + 2);
    // Retry goes back to the probe before the box; its second run makes the box continue.
    g_retryBox = base + 1;
    Probe().effects[base] = [](SetupObject* action) {
      SetupObject* next = ObjectTableFind(ObjectOwner(action), 0, g_retryBox);
      if (SlotInt(next, 24) == IDRETRY && Probe().calls.size() > 1) SetSlotU32(next, 24, IDOK);
    };
    Sequence(base + 5, {base, base + 1, base + 2});
    Probe().calls.clear();
    session_->state = 0;
    VariableSetInt(db_, 509, 0);
    EXPECT_EQ(Run(base + 5), c.sequence_result) << c.answer;
    EXPECT_EQ(Probe().calls.size(), c.probe_runs) << c.answer;
    EXPECT_EQ(SessionInstallState(session_), c.sequence_result ? kStateAborted : 0) << c.answer;
  }
  EXPECT_TRUE(Traced(u"I0013", u"|Question 100%?|0x30000000|1"));
}

TEST_F(RunnerTest, SetVariableDirectlyAndThroughItsValue) {
  Variable(700, u"Target", u"old");
  Variable(701, u"Pointer", u"Target");
  Variable(702, u"Who", u"me");
  SetupObject* direct = Action(kA213, 10);
  BuilderSetText(direct, 22, u"Who");
  BuilderSetLocalized(direct, 23, u"you", nullptr, 0);
  SetupObject* indirect = Action(kA213, 11, kActionFlagIndirect);
  BuilderSetText(indirect, 22, u"Pointer");
  BuilderSetLocalized(indirect, 23, u"set by <Who>", nullptr, 0);
  Sequence(1, {10, 11});
  Link();
  EXPECT_EQ(Run(1), 0);
  EXPECT_EQ(Value(702), u"you");
  EXPECT_EQ(Value(700), u"set by you");
  EXPECT_EQ(Value(701), u"Target");
}
