// The option tree: evaluation, requests with radio groups and listeners, the run's plan (actions,
// sizes, item modes), the commit, the `<$Option>` view, and the actions a105 and a207.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "actions/action_journal.h"
#include "actions/action_object.h"
#include "actions/action_runner.h"
#include "actions/architecture.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_link.h"
#include "expr/database_resolver.h"
#include "expr/installable_item.h"
#include "expr/option_actions.h"
#include "expr/option_object.h"
#include "expr/option_plan.h"
#include "expr/option_states.h"
#include "expr/variables.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "tests/runtime/windows_test_support.h"

namespace {

constexpr uint32_t kAll = kArchitectureX86 | kArchitectureX64 | kArchitectureArm64;

std::vector<std::u16string> g_lines;
std::vector<LPARAM> g_told;  // options announced to the listener windows, in order

LRESULT CALLBACK Listener(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kOptionChangedMessage) g_told.push_back(lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

struct OptionFields {
  const char16_t* name;
  int32_t state_if_false;
  int32_t installed;
  uint32_t flags;
};

class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    g_told.clear();
    static const TraceSink sink{[](void*, const char16_t* line, size_t length) { g_lines.emplace_back(line, length); },
                                nullptr};
    TraceSetSink(&sink);
    ClassRegistryRegisterSetupClasses();
    OptionsRegister();
    db_ = BuilderCreateTable();
    installation_ = BuilderAddObject(db_, TagOf("inst"), 1);
    for (uint32_t id : {401u, 428u, 429u, 430u, 520u, 521u}) {
      char16_t name[16];
      TextFormat(name, name + 15, u"V%u", id);
      Variable(id, name, u"");
    }
    Variable(1000, u"DocsState", u"none");
    Variable(1001, u"Wanted", u"0");
    session_ = SessionCreate(1);
    session_->run_mode = kRunModeInstall;
    SessionSetCurrent(session_);
    VariablesSetLanguage(0x0409);
  }
  void TearDown() override {
    for (HWND window : windows_) {
      OptionUnlisten(window);
      DestroyWindow(window);
    }
    JournalFree();
    SessionFree(session_);
    ObjectTableDestroy(db_);
    TraceSetSink(nullptr);
  }

  SetupObject* Variable(uint32_t id, const char16_t* name, const char16_t* value) {
    SetupObject* v = BuilderAddObject(db_, TagOf("symb"), 0x10000 + id);
    BuilderSetU32(v, kSymbId, id);
    BuilderSetLocalized(v, kSymbValue, value, nullptr, 0);
    BuilderSetText(v, kSymbName, name);
    return v;
  }
  // An option available everywhere whose empty condition gives `state_if_false`.
  SetupObject* Option(uint64_t id, const OptionFields& fields, const std::vector<uint64_t>& children = {}) {
    SetupObject* o = BuilderAddObject(db_, TagOf("cmp9"), id);
    BuilderSetText(o, kOptionName, fields.name);
    BuilderSetU32(o, kOptionArchitectureMask, kAll);
    BuilderSetU32(o, kOptionCapabilityMask, kAll);
    BuilderSetInt(o, kOptionStateIfFalse, fields.state_if_false);
    BuilderSetInt(o, kOptionStateIfTrue, kSelectionSelected);
    BuilderSetInt(o, kOptionSelection, fields.state_if_false);
    BuilderSetInt(o, kOptionInstalled, fields.installed);
    BuilderSetU32(o, kOptionFlags, fields.flags);
    if (!children.empty()) BuilderSetIdList(o, kOptionChildIds, children.data(), uint32_t(children.size()));
    return o;
  }
  void TopLevel(const std::vector<uint64_t>& ids) {
    BuilderSetIdList(installation_, 23, ids.data(), uint32_t(ids.size()));
  }
  SetupObject* Item(uint32_t tag, uint64_t id, const std::vector<uint64_t>& options, int32_t install, int32_t removal) {
    SetupObject* item = BuilderAddObject(db_, tag, id);
    if (!options.empty()) BuilderSetIdList(item, kItemOptions, options.data(), uint32_t(options.size()));
    BuilderSetInt(item, kItemInstallMode, install);
    BuilderSetInt(item, kItemRemovalMode, removal);
    return item;
  }
  void Link() {
    LinkHooks hooks{};
    DatabaseLink(db_, &hooks);
  }
  SetupObject* Find(uint64_t id) { return ObjectTableFind(db_, TagOf("cmp9"), id); }
  int32_t State(uint64_t id) { return OptionSelection(Find(id)); }
  int32_t Slot(uint64_t id, unsigned slot) { return SlotInt(Find(id), slot); }
  std::u16string Value(uint32_t id) {
    char16_t buffer[256];
    VariableValue(db_, id, buffer, buffer + 255);
    return buffer;
  }
  HWND Window() {
    HWND window = test_support::MessageWindow(L"OptionsTestListener", Listener);
    windows_.push_back(window);
    return window;
  }
  // Records with the code (as "I1601") whose arguments contain `arguments`.
  size_t Traced(const char16_t* code, const char16_t* arguments = u"") const {
    size_t n = 0;
    for (const auto& line : g_lines)
      n += line.find(u"QEL:" + std::u16string(code) + u"|") != std::u16string::npos &&
           line.find(arguments) != std::u16string::npos;
    return n;
  }

  ObjectTable* db_ = nullptr;
  SetupObject* installation_ = nullptr;
  SessionState* session_ = nullptr;
  std::vector<HWND> windows_;
};

}  // namespace

TEST_F(Options, EvaluateChecksMachineLanguageAndCondition) {
  uint32_t foreign = kAll & ~Machine().native;
  SetupObject* other = Option(11, {u"OtherMachine", 3, 2, 0});
  BuilderSetU32(other, kOptionArchitectureMask, foreign);
  SetupObject* capability = Option(12, {u"Capability", 3, 2, 0});
  BuilderSetU32(capability, kOptionCapabilityMask, Machine().runnable);
  BuilderSetInt(capability, kOptionCapabilityMatch, kMatchNone);
  SetupObject* german = Option(13, {u"German", 3, 2, kOptionLanguageList});
  const uint32_t languages[] = {0x0407, 0x0807};
  BuilderSetU32List(german, kOptionLanguages, languages, 2);
  SetupObject* conditional = Option(14, {u"Conditional", 2, 2, 0});
  BuilderSetText(conditional, kOptionCondition, u"Wanted = 1");
  BuilderSetInt(conditional, kOptionStateIfTrue, kSelectionFixed);
  SetupObject* plain = Option(15, {u"Plain", 2, 2, 0});
  TopLevel({11, 12, 13, 14, 15});
  Link();

  EXPECT_EQ(OptionEvaluate(db_, other), kSelectionUnavailable);
  EXPECT_EQ(Traced(u"I1609"), 1u);
  EXPECT_EQ(OptionEvaluate(db_, capability), kSelectionUnavailable);
  EXPECT_EQ(Traced(u"I1610"), 1u);
  EXPECT_EQ(OptionEvaluate(db_, german), kSelectionUnavailable);
  VariablesSetLanguage(0x0807);
  EXPECT_EQ(OptionEvaluate(db_, german), kSelectionSelected);
  EXPECT_EQ(OptionEvaluate(db_, conditional), kSelectionNotSelected);
  VariableSet(db_, 1001, u"1");
  EXPECT_EQ(OptionEvaluate(db_, conditional), kSelectionFixed);
  EXPECT_EQ(Traced(u"I1608", u"|Conditional|Wanted = 1|1|2|4\n"), 1u) << "name, condition, result, old and new state";
  EXPECT_EQ(OptionEvaluate(db_, plain), kSelectionNotSelected) << "an empty condition gives the state-if-false";
  EXPECT_EQ(State(14), kSelectionNotSelected) << "evaluating changes nothing";

  OptionsInitialize(db_);
  EXPECT_EQ(State(11), kSelectionUnavailable);
  EXPECT_EQ(State(13), kSelectionSelected);
  EXPECT_EQ(State(14), kSelectionFixed);
}

TEST_F(Options, RequestsAndToggle) {
  SetupObject* option = Option(21, {u"Tool", 3, 2, 0});
  BuilderSetText(option, kOptionVariable, u"DocsState");
  TopLevel({21});
  Link();
  struct Case {
    int32_t from, request, to;
    bool changed;
  } cases[] = {
      {3, 1, 0, true},  {3, 2, 1, true},  {3, 3, 2, true},  {2, 4, 3, true},  {3, 5, 4, true},  {2, 6, 3, true},
      {3, 6, 2, true},  {4, 6, 4, false}, {0, 6, 0, false}, {2, 7, 2, false}, {2, 8, 2, false}, {2, 0, 3, true},
      {0, 9, 3, true},  {3, 4, 3, false},
  };
  for (const Case& c : cases) {
    OptionStoreSelection(db_, option, c.from);
    EXPECT_EQ(OptionSetState(db_, option, c.request, nullptr), c.changed) << c.from << " request " << c.request;
    EXPECT_EQ(OptionSelection(option), c.to) << c.from << " request " << c.request;
    char16_t text[16];
    TextFormat(text, text + 15, u"%d", c.to);
    EXPECT_EQ(Value(1000), text) << "the option's variable mirrors its state";
  }
  char16_t buffer[64];
  Substitute(db_, u"<$Tool>", buffer, buffer + 63);
  EXPECT_EQ(std::u16string(buffer), u"3");
}

TEST_F(Options, RadioGroupKeepsOneSelectedAndTellsTheListeners) {
  Option(31, {u"Small", 3, 2, kOptionRadio});
  Option(32, {u"Medium", 2, 2, kOptionRadio});
  Option(33, {u"Large", 2, 2, kOptionRadio});
  Option(34, {u"Extra", 2, 2, 0});  // a sibling outside the group
  Option(30, {u"Sizes", 3, 2, 0}, {34, 31, 32, 33});
  TopLevel({30});
  Link();
  HWND told = Window();
  HWND skipped = Window();
  ASSERT_TRUE(OptionListen(told));
  ASSERT_TRUE(OptionListen(skipped));
  ASSERT_TRUE(OptionListen(told));

  EXPECT_TRUE(OptionSetState(db_, Find(32), 4, skipped));  // select Medium
  EXPECT_EQ(State(31), 2);
  EXPECT_EQ(State(32), 3);
  EXPECT_EQ(g_told, (std::vector<LPARAM>{LPARAM(Find(31)), LPARAM(Find(32))}))
      << "once each, not to the skipped window";

  EXPECT_FALSE(OptionSetState(db_, Find(32), 3, nullptr)) << "a radio option cannot be deselected";
  EXPECT_EQ(State(32), 3);
  EXPECT_EQ(Traced(u"I1607", u"|Medium|3|3\n"), 1u);

  g_told.clear();
  EXPECT_TRUE(OptionSetState(db_, Find(32), 6, nullptr)) << "toggling selects the first unselected member";
  EXPECT_EQ(State(32), 2);
  EXPECT_EQ(State(31), 3);
  EXPECT_EQ(State(34), 2) << "the sibling outside the group stays";
  EXPECT_EQ(g_told.size(), 4u) << "both windows, both options";

  EXPECT_TRUE(OptionSetState(db_, Find(31), 1, nullptr)) << "an option leaving the group's selection";
  EXPECT_EQ(State(31), 0);
  EXPECT_EQ(State(32), 3);

  OptionStoreSelection(db_, Find(33), 0);
  OptionStoreSelection(db_, Find(31), 0);
  EXPECT_FALSE(OptionSetState(db_, Find(32), 6, nullptr)) << "no member to take over: the toggle changes nothing";
  EXPECT_EQ(State(32), 3);

  OptionUnlisten(told);
  g_told.clear();
  EXPECT_TRUE(OptionSetState(db_, Find(34), 4, nullptr));
  EXPECT_EQ(g_told.size(), 1u) << "only the window still listening";
}

TEST_F(Options, ListenersAreLimited) {
  std::vector<HWND> windows;
  for (unsigned i = 0; i <= kMaxOptionListeners; ++i) windows.push_back(Window());
  for (unsigned i = 0; i < kMaxOptionListeners; ++i) EXPECT_TRUE(OptionListen(windows[i]));
  EXPECT_FALSE(OptionListen(windows[kMaxOptionListeners]));
  OptionUnlisten(windows[0]);
  EXPECT_TRUE(OptionListen(windows[kMaxOptionListeners]));
}

class OptionPlan : public Options {
 protected:
  // Main (selected, installed) with Docs (selected) and Samples (not selected, installed); Tools
  // not selected with its child Debug selected; Old not selected and not installed. Files: one of
  // Docs, one of no option.
  void Build() {
    auto sized = [this](uint64_t id, const OptionFields& fields, uint64_t install, uint64_t removal,
                        const std::vector<uint64_t>& children = {}) {
      SetupObject* o = Option(id, fields, children);
      BuilderSetU64(o, kOptionInstallSize, install);
      BuilderSetU64(o, kOptionRemovalSize, removal);
    };
    sized(42, {u"Docs", 3, 2, 0}, 200, 2000);
    sized(43, {u"Samples", 2, 1, 0}, 300, 3000);
    sized(41, {u"Main", 3, 1, 0}, 100, 1000, {42, 43});
    sized(45, {u"Debug", 3, 2, 0}, 500, 5000);
    sized(44, {u"Tools", 2, 1, 0}, 400, 4000, {45});
    sized(46, {u"Old", 2, 2, 0}, 600, 6000);
    TopLevel({41, 44, 46});
    SetupObject* docsFile = Item(TagOf("file"), 90, {42}, 4, -4);
    BuilderSetU64(docsFile, 20, 70000);
    SetupObject* loose = Item(TagOf("file"), 91, {}, 2, -2);
    BuilderSetU64(loose, 20, 7);
    Link();
    VariableSet(db_, 401, u"10");
    VariableSet(db_, 428, u"100000");
  }
};

TEST_F(OptionPlan, InstallComputesActionsAndSizes) {
  Build();
  OptionsComputeActionsAndSizes(db_);
  struct Expect {
    uint64_t id;
    int32_t action, after;
    uint32_t marked, descendants;
  } expected[] = {{41, 1, 1, 1, 1}, {42, 1, 1, 1, 0}, {43, 2, 2, 0, 0},
                  {44, 2, 2, 0, 0}, {45, 0, 2, 0, 0}, {46, 0, 2, 0, 0}};
  for (const Expect& e : expected) {
    EXPECT_EQ(Slot(e.id, kOptionAction), e.action) << e.id;
    EXPECT_EQ(Slot(e.id, kOptionAfter), e.after) << e.id;
    EXPECT_EQ(SlotU32(Find(e.id), kOptionMarked), e.marked) << e.id;
    EXPECT_EQ(SlotU32(Find(e.id), kOptionSelectedDescendants), e.descendants) << e.id;
  }
  // Needed: Main 100 + Docs 200 + the loose file 7 + the extra 10; freed: Samples 3000 + Tools 4000.
  EXPECT_EQ(Value(520), u"317");
  EXPECT_EQ(Value(430), u"317");
  EXPECT_EQ(Value(521), u"7000");
  EXPECT_EQ(Value(429), u"99683");
  EXPECT_EQ(Traced(u"I1601"), 6u);
  EXPECT_EQ(Traced(u"I1601", u"|Samples|2|0|2|2\n"), 1u);
  EXPECT_EQ(Traced(u"I1602"), 1u);
  VariableSet(db_, 428, u"100");
  OptionsComputeActionsAndSizes(db_);
  EXPECT_EQ(Value(429), u"0") << "less free space than needed";
}

TEST_F(OptionPlan, RemoveAndRegisterRuns) {
  Build();
  session_->run_mode = kRunModeRemove;
  OptionsComputeActionsAndSizes(db_);
  for (uint64_t id : {41, 42, 43, 44, 45, 46}) EXPECT_EQ(State(id), kSelectionSelected) << id;
  for (uint64_t id : {41, 43, 44}) EXPECT_EQ(Slot(id, kOptionAction), kOptionActionRemove) << id;
  for (uint64_t id : {42, 45, 46}) EXPECT_EQ(Slot(id, kOptionAction), kOptionActionNone) << id;
  EXPECT_EQ(Value(520), u"0");
  EXPECT_EQ(Value(521), u"8007") << "Main, Samples, Tools and the loose file";

  session_->run_mode = kRunModeRegister;
  OptionsComputeActionsAndSizes(db_);
  for (uint64_t id : {41, 42, 43, 44, 45, 46}) EXPECT_EQ(Slot(id, kOptionAction), kOptionActionNone) << id;
  EXPECT_EQ(Slot(41, kOptionAfter), kOptionStateInstalled);
  EXPECT_EQ(Slot(42, kOptionAfter), kOptionStateNotInstalled);
  EXPECT_EQ(Value(520), u"0");
  EXPECT_EQ(Value(521), u"0");
}

TEST_F(OptionPlan, ItemModesFollowTheirOptions) {
  Build();
  struct Case {
    std::vector<uint64_t> options;
    int32_t install, remove, repair, registering;
  } cases[] = {
      {{}, 5, -5, 5, 0},          // no option: the run mode decides
      {{42}, 5, 0, 5, 0},         // Docs: installs (not installed before, so a removal does nothing)
      {{43}, -5, -5, -5, 0},      // Samples: deselected and installed, removed
      {{46}, 0, 0, 0, 0},         // Old: neither
      {{43, 46, 42}, 5, -5, 5, 0},  // any installing option wins, else any removing one
      {{99}, 0, 0, 0, 0},         // an id that names no option
  };
  uint64_t id = 200;
  std::vector<std::pair<SetupObject*, const Case*>> items;
  for (const Case& c : cases) items.emplace_back(Item(TagOf("regv"), id++, c.options, 5, -5), &c);
  Link();
  const std::pair<int32_t, int32_t Case::*> modes[] = {{kRunModeInstall, &Case::install},
                                                       {kRunModeRemove, &Case::remove},
                                                       {kRunModeRepair, &Case::repair},
                                                       {kRunModeRegister, &Case::registering}};
  for (const auto& mode : modes) {
    session_->run_mode = mode.first;
    OptionStoreSelection(db_, Find(43), kSelectionNotSelected);  // a remove run selected everything
    OptionStoreSelection(db_, Find(46), kSelectionNotSelected);
    Hooks()->options.decide_item_actions(db_);
    for (const auto& item : items)
      EXPECT_EQ(SlotInt(item.first, kItemEffectiveMode), item.second->*mode.second)
          << "run mode " << mode.first << ", item " << ObjectId(item.first);
  }
  EXPECT_EQ(Traced(u"I1603", u"|regv (76676572)|00000000000000C8|5\n"), 2u) << "install and repair";
}

TEST_F(OptionPlan, CommitKeepsTheInstalledStatesAndTheChoices) {
  Build();
  SetupObject* other = Find(46);
  BuilderSetU32(other, kOptionArchitectureMask, kAll & ~Machine().native);
  OptionsInitialize(db_);
  EXPECT_EQ(State(46), kSelectionUnavailable);
  OptionsCommitInstalledStates(db_);
  const struct {
    uint64_t id;
    int32_t installed, if_false;
  } expected[] = {{41, 1, 3}, {42, 1, 3}, {43, 2, 2}, {44, 2, 2}, {45, 2, 3}, {46, 2, 2}};
  for (const auto& e : expected) {
    EXPECT_EQ(Slot(e.id, kOptionInstalled), e.installed) << e.id;
    EXPECT_EQ(Slot(e.id, kOptionStateIfFalse), e.if_false) << e.id << " (an unavailable option keeps its own)";
  }
  EXPECT_EQ(Traced(u"I1604"), 6u);
}

TEST_F(OptionPlan, ActionsSetAndCheck) {
  Build();
  SetupObject* deselect = BuilderAddObject(db_, TagOf("a207"), 300);
  BuilderSetU32(deselect, kActionArchitectureMask, kAll);
  BuilderSetU32(deselect, kActionCapabilityMask, kAll);
  BuilderSetText(deselect, kActionName, u"Deselect");
  BuilderSetText(deselect, 22, u"docs");
  BuilderSetInt(deselect, 23, 3);
  SetupObject* missing = BuilderAddObject(db_, TagOf("a207"), 301);
  BuilderSetU32(missing, kActionArchitectureMask, kAll);
  BuilderSetU32(missing, kActionCapabilityMask, kAll);
  BuilderSetText(missing, 22, u"Nothing");
  BuilderSetInt(missing, 23, 4);
  SetupObject* check = BuilderAddObject(db_, TagOf("a105"), 302);
  BuilderSetU32(check, kActionArchitectureMask, kAll);
  BuilderSetU32(check, kActionCapabilityMask, kAll);
  uint64_t target = 0;
  OptionsInitialize(db_);
  EXPECT_EQ(Value(520), u"317");
  EXPECT_EQ(RunAction(db_, deselect, nullptr, &target), kResultDone);
  EXPECT_EQ(State(42), kSelectionNotSelected);
  EXPECT_EQ(Traced(u"I1612", u"|3|docs|2\n"), 1u);
  EXPECT_EQ(Value(520), u"117") << "the change computed the sizes again";
  EXPECT_EQ(RunAction(db_, deselect, nullptr, &target), kResultDone) << "no change, still done";
  EXPECT_EQ(Traced(u"I1612"), 1u);
  EXPECT_EQ(RunAction(db_, missing, nullptr, &target), kResultSkipped);
  EXPECT_EQ(Traced(u"W1613"), 1u);
  VariableSet(db_, 401, u"1000");
  EXPECT_EQ(RunAction(db_, check, nullptr, &target), kResultDone);
  EXPECT_EQ(Value(520), u"1107");
}
