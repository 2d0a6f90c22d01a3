// The dialog engine and the dialog actions with the program's own pages: the buttons that close a
// page and what the dialog action makes of them, the cancel question, event sequences, validation,
// modeless pages and their sequences, quiet levels, window states, bound check boxes that gate Next,
// control records, right-to-left layout, closing everything, the verification progress window.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "actions/action_runner.h"
#include "actions/dialog_actions.h"
#include "database/class_registry.h"
#include "expr/variables.h"
#include "resources/dialog_ids.h"
#include "resources/string_ids.h"
#include "runtime/message_pump.h"
#include "tests/ui/dialog_fixture.h"
#include "ui/bitmap_panel.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_engine.h"
#include "ui/dialog_messages.h"
#include "ui/dialog_resources.h"
#include "ui/dialog_template.h"
#include "ui/progress_window.h"
#include "ui/string_table.h"

using namespace dialog_test;
using runner_test::kProbeTag;
using runner_test::Probe;

namespace {

constexpr uint64_t kPage = 100;

bool Pumped(const std::function<bool()>& done) {
  for (int i = 0; i < 200 && !done(); ++i) WaitAndPump(10);
  return done();
}

}  // namespace

TEST_F(DialogTest, PagesOpenInEveryLanguageWithTheirTextsSubstituted) {
  Dialog(kPage, IDD_PAGE_WELCOME);
  RunDialogAction(10, kPage, false);
  Link();
  for (uint16_t language : {uint16_t(0x0409), uint16_t(0x0407), uint16_t(0x0411)}) {
    session_->ui_language = language;
    ASSERT_EQ(RunOne(10), kResultDone) << language;
    HWND page = Window(kPage);
    ASSERT_NE(page, nullptr) << "language " << language;
    EXPECT_EQ(Text(page), u"Probe 1.0 - Setup Wizard");
    EXPECT_EQ(Text(GetDlgItem(page, IDC_PAGE_TITLE)), u"Welcome to the Probe Setup Wizard");
    EXPECT_EQ(Text(GetDlgItem(page, IDC_WELCOME_PUBLISHER)), u"Probe Works");
    EXPECT_EQ(Text(GetDlgItem(page, IDC_WELCOME_EMAIL)), u"help@probe.example\nmailto:help@probe.example");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_BACK)));
    DialogCloseAll();
    EXPECT_EQ(Window(kPage), nullptr);
  }
}

TEST_F(DialogTest, ClosingButtonsBecomeActionResults) {
  struct Case {
    uint32_t page;
    std::vector<Step> steps;
    int32_t result;
    int32_t state;
    const char* what;
  };
  Dialog(kPage, IDD_PAGE_LICENSE);
  Dialog(kPage + 1, IDD_PAGE_COMPLETED);
  Dialog(kPage + 2, IDD_PAGE_REMOVAL_RESTART);
  Link();
  std::vector<Case> cases = {
      {kPage, {Press(kPage, IDC_NEXT)}, kResultDone, 0, "Next"},
      {kPage, {Press(kPage, IDC_BACK)}, kResultBackToDialog, 0, "Back"},
      {kPage + 1, {Press(kPage + 1, IDC_FINISH)}, kResultDone, 0, "Finish"},
      {kPage + 2, {Press(kPage + 2, IDOK)}, kResultDone, 0, "OK of the small restart page"},
      {kPage, {Press(kPage, IDCANCEL), Answer(IDNO), Press(kPage, IDC_NEXT)}, kResultDone, 0,
       "Cancel answered No keeps the page"},
      {kPage, {Press(kPage, IDCANCEL), Answer(IDYES)}, kResultTerminate, kStateCancelled, "Cancel answered Yes"},
  };
  uint64_t id = 10;
  for (Case& c : cases) {
    RunDialogAction(id, c.page, true);
    Script(c.steps);
    EXPECT_EQ(RunOne(id), c.result) << c.what;
    EXPECT_TRUE(ScriptDone()) << c.what;
    EXPECT_EQ(Window(c.page), nullptr) << c.what;
    EXPECT_EQ(SessionInstallState(session_), c.state) << c.what;
    ++id;
  }
  EXPECT_TRUE(Traced(u"W0006"));
  EXPECT_TRUE(Traced(u"I0013", u"The installation of Probe Product is not complete yet."));
}

TEST_F(DialogTest, CancelDoesNothingWhereTheUserMayNotCancel) {
  BuilderSetU32(installation_, 14, 0xFFFFFFFF & ~0x400u);
  Dialog(kPage, IDD_PAGE_LICENSE);
  RunDialogAction(10, kPage, true);
  Link();
  bool stillOpen = false;
  Script({Press(kPage, IDCANCEL), [&] {
            stillOpen = Window(kPage) != nullptr;
            return true;
          },
          Press(kPage, IDC_NEXT)});
  EXPECT_EQ(RunOne(10), kResultDone);
  EXPECT_TRUE(stillOpen);
  EXPECT_FALSE(Traced(u"I0013"));
  EXPECT_EQ(SessionInstallState(session_), kStateInitial);
}

namespace {

HWND g_seenDuringSequence;

BOOL CALLBACK FindWelcome(HWND window, LPARAM) {
  if (GetDlgItem(window, IDC_PAGE_ABOUT)) g_seenDuringSequence = window;
  return TRUE;
}

}  // namespace

TEST_F(DialogTest, EventSequencesConsumeClicksAndEndTheirDialogAfterTheirHandlersReturn) {
  Control(TagOf("c002"), 52, IDC_NEXT);
  Control(TagOf("c002"), 53, IDC_PAGE_ABOUT);
  Action(kProbeTag, 30);
  Probe().effects[30] = [](SetupObject*) {};
  EndDialogAction(31, kPage, IDC_FINISH);
  Action(kProbeTag, 32);
  EventSequence(40, IDC_NEXT, kEventClicked, {30});
  EventSequence(41, IDC_PAGE_ABOUT, kEventClicked, {31, 32});
  Dialog(kPage, IDD_PAGE_WELCOME, {52, 53}, {40, 41});
  RunDialogAction(10, kPage, true);
  Link();
  Probe().effects[32] = [](SetupObject*) {
    g_seenDuringSequence = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindWelcome, 0);
  };
  bool openAfterNext = false;
  Script({Press(kPage, IDC_NEXT), [&] {
            openAfterNext = Window(kPage) != nullptr;
            return true;
          },
          Press(kPage, IDC_PAGE_ABOUT)});
  EXPECT_EQ(RunOne(10), kResultDone);
  EXPECT_TRUE(openAfterNext) << "the event sequence took the click";
  EXPECT_EQ(Probe().calls.front(), "run:30");
  EXPECT_NE(g_seenDuringSequence, nullptr) << "the window lives until the sequence returned";
  EXPECT_FALSE(IsWindow(g_seenDuringSequence));
  SetupObject* dialog = ObjectTableFind(db_, TagOf("dlg "), kPage);
  EXPECT_EQ(SlotInt(dialog, kDialogEndCode), IDC_FINISH);
}

namespace {

bool g_refuse;
int RefusingHandler(ControlInstance*, void*, uint32_t message, uintptr_t, intptr_t, intptr_t* result) {
  if (message != kControlValidateMessage) return 0;
  *result = g_refuse ? 0 : 1;
  return 1;
}
const ControlMethods kRefusing = {RefusingHandler, nullptr};

}  // namespace

TEST_F(DialogTest, ARefusingControlKeepsThePageOpenOnNextButNotOnBack) {
  ClassSetControlMethods(TagOf("c014"), &kRefusing);
  Control(TagOf("c014"), 50, IDC_OPTIONS_FOLDER);
  Dialog(kPage, IDD_PAGE_OPTIONS, {50});
  RunDialogAction(10, kPage, true);
  Link();
  g_refuse = true;
  int focused = 0;
  Script({Press(kPage, IDC_NEXT), [&] {
            focused = GetDlgCtrlID(GetFocus());
            return true;
          },
          Press(kPage, IDC_BACK)});
  EXPECT_EQ(RunOne(10), kResultBackToDialog);
  EXPECT_EQ(focused, IDC_OPTIONS_FOLDER) << "the refusing control has the focus";
  g_refuse = false;
  Script({Press(kPage, IDC_NEXT)});
  EXPECT_EQ(RunOne(10), kResultDone);
}

TEST_F(DialogTest, ModelessPagesCloseWithTheNestedSequenceThatEndsWithAResult) {
  Dialog(kPage, IDD_PAGE_PROGRESS);
  RunDialogAction(20, kPage, false);
  Action(kProbeTag, 21);
  Sequence(2, {20, 21});
  SetupObject* call = Action(TagOf("a001"), 10);
  BuilderSetId(call, kActionTarget, 2);
  Sequence(1, {10});
  Link();
  EXPECT_EQ(Run(1), kResultDone);
  HWND page = Window(kPage);
  ASSERT_NE(page, nullptr) << "a modeless page stays open after a sequence that ended with 0";
  EXPECT_EQ(RunOne(20), kResultDone) << "running an open dialog again does nothing";
  EXPECT_EQ(Window(kPage), page);
  DialogCloseAll();
  Probe().results[21] = {kResultCancelled};
  EXPECT_EQ(Run(1), kResultCancelled);
  EXPECT_EQ(Window(kPage), nullptr) << "the nested run that started it ended with -4";

  EndDialogAction(22, kPage, IDC_NEXT);
  Link();
  EXPECT_EQ(RunOne(20), kResultDone);
  EXPECT_NE(Window(kPage), nullptr);
  EXPECT_EQ(RunOne(22), kResultDone);
  EXPECT_EQ(Window(kPage), nullptr) << "a202 ends a modeless page";
}

TEST_F(DialogTest, QuietRunsNeverWaitForAPage) {
  Dialog(kPage, IDD_PAGE_LICENSE);
  Dialog(kPage + 1, IDD_PAGE_PROGRESS);
  RunDialogAction(10, kPage, true);
  RunDialogAction(11, kPage + 1, false);
  Link();
  VariableSetInt(db_, 505, 1);
  EXPECT_EQ(RunOne(10), kResultDone);
  EXPECT_EQ(RunOne(11), kResultDone);
  EXPECT_NE(Window(kPage + 1), nullptr) << "level 1 shows modeless pages";
  DialogCloseAll();
  VariableSetInt(db_, 505, 2);
  EXPECT_EQ(RunOne(10), kResultDone);
  EXPECT_EQ(RunOne(11), kResultDone);
  EXPECT_EQ(Window(kPage + 1), nullptr) << "level 2 shows nothing";
  EXPECT_EQ(CountTraced(u"I1751"), 3u);
}

TEST_F(DialogTest, WindowStateOperations) {
  Variable(60, u"Agreed", u"0");
  SetupObject* box = Control(TagOf("c003"), 50, IDC_LICENSE_AGREE, u"Agreed");
  BuilderSetText(box, 16, u"1");
  BuilderSetText(box, 17, u"0");
  Dialog(kPage, IDD_PAGE_LICENSE, {50});
  Dialog(kPage + 1, IDD_PAGE_OPTIONS);
  RunDialogAction(10, kPage, false);
  RunDialogAction(11, kPage + 1, false);
  Link();
  ASSERT_EQ(RunOne(10), kResultDone);
  ASSERT_EQ(RunOne(11), kResultDone);
  HWND agree = Item(kPage, IDC_LICENSE_AGREE);
  HWND folder = Item(kPage + 1, IDC_OPTIONS_FOLDER);
  SetWindowTextW(folder, L"C:\\Probe");
  uint64_t id = 70;
  auto operate = [&](uint64_t target, int32_t operation, int32_t value, const char16_t* text) {
    SetupObject* action = Action(kTagWindowState, id);
    BuilderSetId(action, 22, target);
    BuilderSetLocalized(action, 24, text, nullptr, 0);
    BuilderSetInt(action, 27, operation);
    BuilderSetInt(action, 28, value);
    return RunOne(id++);
  };
  EXPECT_EQ(operate(50, kWindowClick, 0, u""), kResultDone);
  EXPECT_EQ(Value(60), u"1") << "a click on the bound check box";
  EXPECT_EQ(operate(50, kWindowSetValue, 0, u"0"), kResultDone);
  EXPECT_EQ(SendMessageW(agree, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(Value(60), u"0");
  operate(50, kWindowSetText, 0, u"I accept <ProductName>");
  EXPECT_EQ(Text(agree), u"I accept Probe");
  operate(50, kWindowEnable, 0, u"");
  EXPECT_FALSE(IsWindowEnabled(agree));
  operate(50, kWindowShow, SW_HIDE, u"");
  EXPECT_FALSE(IsWindowVisible(agree));
  operate(kPage, kWindowShow, SW_HIDE, u"");
  EXPECT_FALSE(IsWindowVisible(Window(kPage))) << "a dialog is a target too";

  Control(TagOf("c010"), 51, IDC_OPTIONS_FOLDER);
  DialogCloseAll();
  SetupObject* options = ObjectTableFind(db_, TagOf("dlg "), kPage + 1);
  uint64_t controls[] = {51};
  BuilderSetIdList(options, kDialogControls, controls, 1);
  ASSERT_EQ(RunOne(11), kResultDone);
  folder = Item(kPage + 1, IDC_OPTIONS_FOLDER);
  SetWindowTextW(folder, L"C:\\Probe");
  EXPECT_EQ(operate(51, kWindowFocus, 0, u""), kResultDone);
  EXPECT_EQ(GetFocus(), folder);
  DWORD start = 1, end = 0;
  SendMessageW(folder, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 8u) << "the whole text is selected";
  EXPECT_EQ(operate(51, kWindowReadOnly, 1, u""), kResultDone);
  EXPECT_TRUE(GetWindowLongW(folder, GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(operate(0x777, kWindowShow, SW_SHOW, u""), kResultMissing);
  EXPECT_EQ(operate(1, kWindowShow, SW_SHOW, u""), kResultMissing) << "the installation record has no window";
}

TEST_F(DialogTest, ABoundCheckBoxGatesNextThroughItsEnableCondition) {
  Variable(60, u"Agreed", u"0");
  SetupObject* box = Control(TagOf("c003"), 50, IDC_LICENSE_AGREE, u"Agreed");
  BuilderSetText(box, 16, u"1");
  BuilderSetText(box, 17, u"0");
  Control(TagOf("c002"), 51, IDC_NEXT, nullptr, u"Agreed = 1");
  Action(kProbeTag, 30);
  EventSequence(40, IDC_LICENSE_AGREE, kEventValueChanged, {30});
  Dialog(kPage, IDD_PAGE_LICENSE, {50, 51}, {40});
  RunDialogAction(10, kPage, false);
  Link();
  ASSERT_EQ(RunOne(10), kResultDone);
  HWND next = Item(kPage, IDC_NEXT);
  HWND agree = Item(kPage, IDC_LICENSE_AGREE);
  EXPECT_FALSE(IsWindowEnabled(next));
  EXPECT_EQ(SendMessageW(agree, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  SendMessageW(agree, BM_CLICK, 0, 0);
  EXPECT_EQ(Value(60), u"1");
  EXPECT_EQ(Probe().calls.size(), 1u) << "event 7 ran its sequence";
  EXPECT_TRUE(Pumped([&] { return IsWindowEnabled(next) != FALSE; })) << "the condition was evaluated again";
  VariableSet(db_, 60, u"0");
  EXPECT_EQ(SendMessageW(agree, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "the box follows its variable";
  EXPECT_TRUE(Pumped([&] { return !IsWindowEnabled(next); }));
  EXPECT_EQ(Probe().calls.size(), 1u) << "a change from outside sends no event";
}

TEST_F(DialogTest, ControlRecordsGiveFontsAndColours) {
  Dialog(kPage, IDD_PAGE_WELCOME);
  Dialog(kPage + 1, IDD_PAGE_LICENSE);
  RunDialogAction(10, kPage, false);
  RunDialogAction(11, kPage + 1, false);
  Link();
  ASSERT_EQ(RunOne(10), kResultDone);
  ASSERT_EQ(RunOne(11), kResultDone);
  HWND welcome = Window(kPage);
  ASSERT_NE(DialogFont(IDF_LARGE), nullptr);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(welcome, IDC_PAGE_TITLE, WM_GETFONT, 0, 0)),
            DialogFont(IDF_LARGE));
  EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(welcome, IDC_WELCOME_WEBSITE, WM_GETFONT, 0, 0)),
            DialogFont(IDF_LINK));
  LOGFONTW large{};
  GetObjectW(DialogFont(IDF_LARGE), sizeof large, &large);
  EXPECT_EQ(large.lfHeight, -DialogPointsToPixels(12));
  HDC dc = GetDC(welcome);
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(welcome, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(GetDlgItem(welcome, IDC_WELCOME_WEBSITE))));
  EXPECT_EQ(GetTextColor(dc), RGB(0x00, 0x66, 0xCC));
  EXPECT_EQ(brush, GetSysColorBrush(COLOR_BTNFACE));
  HWND license = Window(kPage + 1);
  brush = reinterpret_cast<HBRUSH>(
      SendMessageW(license, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(GetDlgItem(license, IDC_PAGE_TEXT))));
  EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255)) << "the banner's texts stand on white";
  EXPECT_EQ(brush, DialogBrushForColour(0x00FFFFFF)) << "one cached brush per colour";
  ReleaseDC(welcome, dc);
}

TEST_F(DialogTest, RightToLeftSessionsLayPagesOutRightToLeft) {
  session_->right_to_left = true;
  Dialog(kPage, IDD_PAGE_WELCOME);
  RunDialogAction(10, kPage, false);
  Link();
  ASSERT_EQ(RunOne(10), kResultDone);
  EXPECT_TRUE(GetWindowLongW(Window(kPage), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
}

TEST_F(DialogTest, PagesArePlacedOnTheWorkAreaAndTheMainWindowFollowsThem) {
  Dialog(kPage, IDD_PAGE_WELCOME);
  SetupObject* corner = Dialog(kPage + 1, IDD_PAGE_LICENSE);
  BuilderSetInt(corner, kDialogPlacement, 0);
  RunDialogAction(10, kPage, false);
  RunDialogAction(11, kPage + 1, false);
  Link();
  ASSERT_EQ(RunOne(10), kResultDone);
  ASSERT_EQ(RunOne(11), kResultDone);
  RECT area, centred, placed;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(Window(kPage), &centred);
  GetWindowRect(Window(kPage + 1), &placed);
  EXPECT_NEAR((centred.left + centred.right) / 2, (area.left + area.right) / 2, 1) << "-1 centres on the work area";
  EXPECT_NEAR((centred.top + centred.bottom) / 2, (area.top + area.bottom) / 2, 1);
  EXPECT_EQ(placed.left, area.left) << "a placement at 0 % is kept inside the work area";
  EXPECT_EQ(placed.top, area.top);
  SetWindowPos(Window(kPage), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT main;
  GetWindowRect(main_window_, &main);
  EXPECT_EQ(main.left, 40 + (centred.right - centred.left) / 2) << "the main window moves to the page's centre";
  EXPECT_EQ(main.top, 30 + (centred.bottom - centred.top) / 2);
}

TEST(DialogTemplate, LayoutFlagsSetOrClearTheRightToLeftStyle) {
  struct Case {
    bool extended;
    uint32_t layout;
    bool session_rtl;
    bool before;
    bool after;
  };
  const Case cases[] = {
      {true, kLayoutRightToLeft, false, false, true},  {true, kLayoutLeftToRight, true, true, false},
      {true, kLayoutFollowSession, true, false, true}, {true, kLayoutFollowSession, false, true, false},
      {false, kLayoutRightToLeft, false, false, true}, {false, 0, true, true, true},
  };
  for (const Case& c : cases) {
    uint8_t data[32] = {};
    size_t at = c.extended ? 8 : 4;
    if (c.extended) data[0] = 1, data[2] = 0xFF, data[3] = 0xFF;
    if (c.before) data[at + 2] = 0x40;
    DialogTemplateSetLayout(data, sizeof data, c.layout, c.session_rtl);
    EXPECT_EQ((data[at + 2] & 0x40) != 0, c.after) << c.extended << " " << c.layout;
  }
}

int g_treeDestroys;
WNDPROC g_treeProcedure;

LRESULT CALLBACK CountingTreeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) ++g_treeDestroys;
  return CallWindowProcW(g_treeProcedure, window, message, wParam, lParam);
}

// A closed page is destroyed once, even though its tree view reports every item it deletes to the
// page while the page is being destroyed (destroying it again there freed the tree's items twice).
TEST_F(DialogTest, APageWhoseTreeNotifiesWhileItDiesIsDestroyedOnce) {
  Control(TagOf("c008"), 50, IDC_OPTIONS_TREE);
  Dialog(kPage, IDD_PAGE_OPTIONS, {50});
  RunDialogAction(10, kPage, false);
  Link();
  ASSERT_EQ(RunOne(10), kResultDone);
  HWND tree = Item(kPage, IDC_OPTIONS_TREE);
  TVINSERTSTRUCTW insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<wchar_t*>(L"Option");
  HTREEITEM parent = TreeView_InsertItem(tree, &insert);
  insert.hParent = parent;
  TreeView_InsertItem(tree, &insert);
  TreeView_InsertItem(tree, &insert);
  g_treeDestroys = 0;
  g_treeProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingTreeProcedure)));
  SendMessageW(Window(kPage), kDialogCloseMessage, IDCANCEL, 0);
  EXPECT_EQ(Window(kPage), nullptr);
  EXPECT_EQ(g_treeDestroys, 1);
}

TEST_F(DialogTest, ClosingEverythingEndsModalWaitsAndModelessPages) {
  Dialog(kPage, IDD_PAGE_PROGRESS);
  Dialog(kPage + 1, IDD_PAGE_LICENSE);
  RunDialogAction(10, kPage, false);
  RunDialogAction(11, kPage + 1, true);
  Link();
  ASSERT_EQ(RunOne(10), kResultDone);
  Script({[&] {
    if (!Window(kPage + 1)) return false;
    DialogCloseAll();
    return true;
  }});
  EXPECT_EQ(RunOne(11), kResultMissing) << "a modal page closed without a button ends with -1";
  EXPECT_EQ(Window(kPage), nullptr);
  EXPECT_EQ(Window(kPage + 1), nullptr);
}

TEST_F(DialogTest, TheVerificationShowsAProgressWindowThatCanBeCancelled) {
  Link();
  EXPECT_EQ(ProgressWindowVerify(1, 2048), 0u);
  HWND window = FindWindowW(L"#32770", L"Probe Setup");
  ASSERT_NE(window, nullptr);
  wchar_t text[256];
  GetDlgItemTextW(window, IDC_PROGRESS_TEXT, text, 256);
  EXPECT_STREQ(text, L"Please wait while the integrity of the archive is verified...");
  EXPECT_EQ(ProgressWindowVerify(2, 1024), 0u);
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 512);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_EQ(ProgressWindowVerify(2, 1024), uint32_t(ERROR_CANCELLED));
  ProgressWindowVerify(3, 0);
  EXPECT_FALSE(IsWindow(window));
  VariableSetInt(db_, 505, 2);
  EXPECT_EQ(ProgressWindowVerify(1, 10), 0u);
  EXPECT_EQ(FindWindowW(L"#32770", L"Probe Setup"), nullptr) << "level 2 shows no window";
  ProgressWindowVerify(3, 0);
}

TEST_F(DialogTest, BitmapPanelsTakeTheBitmapForTheDisplayScale) {
  struct Case {
    int32_t scale;
    uint32_t id;
    int32_t dpi;
  };
  auto all = [](uint32_t) { return true; };
  auto only200 = [](uint32_t id) { return id == 3064; };
  const Case withAll[] = {{100, 64, 96}, {124, 64, 96}, {125, 1064, 120}, {175, 2064, 144}, {250, 3064, 192}, {300, 4064, 288}};
  for (const Case& c : withAll) {
    int32_t dpi = 0;
    EXPECT_EQ(BitmapForScale(64, c.scale, all, &dpi), c.id) << c.scale;
    EXPECT_EQ(dpi, c.dpi) << c.scale;
  }
  int32_t dpi = 0;
  EXPECT_EQ(BitmapForScale(64, 300, only200, &dpi), 3064u) << "the largest variant that exists";
  EXPECT_EQ(BitmapForScale(64, 150, only200, &dpi), 64u);
  HWND panel = CreateWindowExW(0, kBitmapPanelClass, L"#64", WS_POPUP | kBitmapSizeWindow, 0, 0, 10, 10, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(panel, nullptr);
  RECT rect;
  GetWindowRect(panel, &rect);
  EXPECT_EQ(rect.right - rect.left, DialogScaleX(479));
  EXPECT_EQ(rect.bottom - rect.top, DialogScaleY(49));
  EXPECT_EQ(GetWindowTextLengthW(panel), 0) << "the panel keeps its text to itself";
  EXPECT_EQ(SendMessageW(panel, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
  DestroyWindow(panel);
}

TEST(StaticText, DisplayKinds) {
  struct Case {
    int32_t kind;
    const char16_t* text;
    const char16_t* shown;
  };
  const Case cases[] = {
      {kDisplaySize, u"1", u"1 KB"},        {kDisplaySize, u"0", u"0 KB"},     {kDisplaySize, u"1025", u"2 KB"},
      {kDisplaySize, u"5368709120", u"5242880 KB"}, {kDisplayPercent, u"995", u"100 %"},
      {kDisplayPercent, u"0", u"0 %"},     {kDisplayPercent, u"-2", u""},     {kDisplayText, u"as is", u"as is"},
      {7, u"other kinds", u"other kinds"},
  };
  for (const Case& c : cases) {
    char16_t shown[64];
    StaticDisplayText(c.kind, c.text, 0, shown, shown + 63);
    EXPECT_EQ(std::u16string(shown), c.shown) << c.kind;
  }
}
