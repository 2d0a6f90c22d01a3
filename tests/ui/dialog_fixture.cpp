#include "tests/ui/dialog_fixture.h"

#include "actions/action_runner.h"
#include "actions/dialog_actions.h"
#include "expr/main_window.h"
#include "ui/bitmap_panel.h"
#include "ui/dialog_engine.h"
#include "ui/dialog_hooks.h"
#include "ui/dialog_resources.h"
#include "ui/main_window.h"
#include "ui/rich_text_class.h"

namespace dialog_test {

namespace {

constexpr DWORD kScriptLimitMs = 15000;

struct ScriptState {
  std::vector<Step> steps;
  size_t next;
  DWORD started;
  bool overran;
};
ScriptState g_script;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_script.next >= g_script.steps.size()) return;
  if (GetTickCount() - g_script.started > kScriptLimitMs) {
    g_script.overran = true;
    g_script.next = g_script.steps.size();
    DialogCloseAll();
    return;
  }
  // A step may open a nested message loop (a message box) in which the following steps run.
  size_t index = g_script.next++;
  if (!g_script.steps[index]() && g_script.next == index + 1) g_script.next = index;
}

UINT_PTR g_timer;

struct BoxSearch {
  int button;
  HWND box;
};

// A message box: the enabled dialog window (the page that owns it is disabled while it is up).
BOOL CALLBACK FindBox(HWND window, LPARAM argument) {
  wchar_t name[16];
  if (!IsWindowVisible(window) || !IsWindowEnabled(window) || !GetClassNameW(window, name, 16) ||
      lstrcmpW(name, L"#32770") != 0)
    return TRUE;
  auto* search = reinterpret_cast<BoxSearch*>(argument);
  if (!GetDlgItem(window, search->button)) return TRUE;
  search->box = window;
  return FALSE;
}

}  // namespace

void DialogTest::SetUp() {
  RunnerTest::SetUp();
  session_->quiet_level = 0;
  SessionSetText(&session_->title, u"Probe Setup");
  DialogActionsRegister();
  DialogEngineInstall();
  Variable(530, u"MessageTimeout", u"20");
  Variable(1, u"ProductName", u"Probe");
  Variable(2, u"ProductVersion", u"1.0");
  Variable(3, u"UIWizardName", u"Setup Wizard");
  Variable(4, u"Publisher", u"Probe Works");
  Variable(5, u"WebSite", u"https://probe.example");
  Variable(6, u"Email", u"help@probe.example");
  Variable(7, u"Copyright", u"(c) Probe Works");
  MainWindowRegisterClass(nullptr);
  BitmapPanelRegisterClass();
  RichTextRegisterClass();
  DialogResourcesLoad();
  main_window_ = MainWindowCreate(u"Probe Setup", SW_HIDE);
  session_->main_window = main_window_;
  ExprSetMainWindow(main_window_);
  g_script = ScriptState{};
  g_timer = SetTimer(nullptr, 0, 20, Tick);
}

void DialogTest::TearDown() {
  KillTimer(nullptr, g_timer);
  EXPECT_FALSE(g_script.overran) << "the script did not finish";
  DialogCloseAll();
  DialogResourcesRelease();
  ExprSetMainWindow(nullptr);
  if (main_window_) DestroyWindow(main_window_);
  session_->main_window = nullptr;
  BitmapPanelUnregisterClass();
  RichTextUnregisterClass();
  MainWindowUnregisterClass();
  RunnerTest::TearDown();
}

SetupObject* DialogTest::Dialog(uint64_t id, uint32_t templateId, const std::vector<uint64_t>& controls,
                                const std::vector<uint64_t>& events) {
  SetupObject* dialog = BuilderAddObject(db_, TagOf("dlg "), id);
  BuilderSetIdList(dialog, kDialogControls, controls.data(), uint32_t(controls.size()));
  BuilderSetIdList(dialog, kDialogEvents, events.data(), uint32_t(events.size()));
  BuilderSetU32(dialog, kDialogTemplate, templateId);
  BuilderSetInt(dialog, kDialogPlacement, -1);
  return dialog;
}

SetupObject* DialogTest::Control(uint32_t tag, uint64_t id, uint32_t controlId, const char16_t* variable,
                                 const char16_t* condition, uint32_t flags) {
  SetupObject* control = BuilderAddObject(db_, tag, id);
  BuilderSetU32(control, 8, controlId);
  BuilderSetU32(control, 9, flags);
  if (variable) BuilderSetText(control, 10, variable);
  if (condition) BuilderSetText(control, 11, condition);
  return control;
}

SetupObject* DialogTest::EventSequence(uint64_t id, uint32_t controlId, uint16_t code,
                                       const std::vector<uint64_t>& actions) {
  SetupObject* sequence = Sequence(id, actions);
  BuilderSetU32(sequence, kSequenceEventKey, (controlId << 16) | code);
  return sequence;
}

SetupObject* DialogTest::RunDialogAction(uint64_t id, uint64_t dialog, bool modal) {
  SetupObject* action = Action(kTagRunDialog, id);
  BuilderSetId(action, 22, dialog);
  BuilderSetU32(action, 24, modal ? kRunDialogModal : 0);
  return action;
}

SetupObject* DialogTest::EndDialogAction(uint64_t id, uint64_t dialog, int32_t code) {
  SetupObject* action = Action(kTagEndDialog, id);
  BuilderSetId(action, 22, dialog);
  BuilderSetInt(action, 24, code);
  return action;
}

int32_t DialogTest::RunOne(uint64_t actionId) {
  uint64_t target = 0;
  return RunAction(db_, ObjectTableFind(db_, TagOf("a000"), actionId), nullptr, &target);
}

void DialogTest::Script(std::vector<Step> steps) {
  g_script.steps = std::move(steps);
  g_script.next = 0;
  g_script.started = GetTickCount();
}

bool DialogTest::ScriptDone() const { return g_script.next >= g_script.steps.size(); }

HWND DialogTest::Window(uint64_t dialogId) {
  SetupObject* dialog = ObjectTableFind(db_, TagOf("dlg "), dialogId);
  return dialog ? DialogWindowOf(dialog) : nullptr;
}

HWND DialogTest::Item(uint64_t dialogId, int controlId) {
  HWND window = Window(dialogId);
  return window ? GetDlgItem(window, controlId) : nullptr;
}

Step DialogTest::Press(uint64_t dialogId, int controlId) {
  return [this, dialogId, controlId] {
    HWND button = Item(dialogId, controlId);
    if (!button || !IsWindowVisible(button)) return false;
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
  };
}

Step DialogTest::Answer(int buttonId) {
  return [buttonId] {
    BoxSearch search{buttonId, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&search));
    HWND button = search.box ? GetDlgItem(search.box, buttonId) : nullptr;
    if (!button) return false;
    SendMessageW(search.box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
  };
}

std::u16string DialogTest::Text(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return reinterpret_cast<const char16_t*>(text);
}

}  // namespace dialog_test
