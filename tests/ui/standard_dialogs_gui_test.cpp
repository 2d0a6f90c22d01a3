// The folder browser, the password prompt and the file dialog action on a virtual display: each
// dialog is found while it waits, read and driven as a user would (typing, selecting, pressing OK
// or Cancel), and saved as a screenshot.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>

#include "actions/file_dialog_action.h"
#include "expr/variables.h"
#include "package/package_reader.h"
#include "resources/dialog_ids.h"
#include "runtime/file_utils.h"
#include "session/run_package.h"
#include "session/session_password.h"
#include "tests/ui/dialog_fixture.h"
#include "tests/ui/screenshot.h"
#include "ui/folder_browser.h"
#include "ui/password_prompt.h"

using namespace dialog_test;
using runner_test::kProbeTag;
using runner_test::Probe;

namespace {

constexpr size_t kBufferSize = 1024;
constexpr uint32_t kTagFileDialog = TagOf("a212");

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

struct Search {
  int control;
  const wchar_t* caption;  // null: any
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<Search*>(argument);
  wchar_t name[16], caption[256] = L"";
  GetWindowTextW(window, caption, 256);
  if (!IsWindowVisible(window) || !GetClassNameW(window, name, 16) || lstrcmpW(name, L"#32770") != 0 ||
      (search->control && !GetDlgItem(window, search->control)) ||
      (search->caption && lstrcmpW(caption, search->caption) != 0))
    return TRUE;
  search->found = window;
  return FALSE;
}

// The shown dialog of this thread that has `control` (and the caption, when given).
HWND Shown(int control, const wchar_t* caption = nullptr) {
  Search search{control, caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Command(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::u16string TextOf(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return reinterpret_cast<const char16_t*>(text);
}

// A screenshot of the dialog as it is now painted.
void Shoot(HWND dialog, const char16_t* name) {
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_TRUE(ScreenshotOfWindow(dialog, ScreenshotFolder() + name));
}

std::u16string ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = L"";
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = MAX_PATH;
  TreeView_GetItem(tree, &data);
  return reinterpret_cast<const char16_t*>(text);
}

// The file-system path of a tree item ("" for a folder outside the file system).
std::u16string ItemPath(HWND tree, HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  wchar_t path[MAX_PATH] = L"";
  if (!TreeView_GetItem(tree, &data) || !SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(data.lParam), path))
    return u"";
  return reinterpret_cast<const char16_t*>(path);
}

// The folders "alpha\beta" below a fresh folder of the temporary folder (long names: the shell's
// paths are compared with them).
class StandardDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    wchar_t temp[MAX_PATH], full[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetLongPathNameW(temp, full, MAX_PATH);
    root_ = std::u16string(reinterpret_cast<const char16_t*>(full)) + u"standard_dialogs";
    FolderDeleteTree(root_.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
    CreateDirectoryW(W(root_), nullptr);
    CreateDirectoryW(W(root_ + u"\\alpha"), nullptr);
    CreateDirectoryW(W(root_ + u"\\alpha\\beta"), nullptr);
  }
  void TearDown() override {
    FolderDeleteTree(root_.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
    DialogTest::TearDown();
  }

  // A step that acts on the folder browser once it is up.
  Step OnBrowser(std::function<void(HWND)> act) {
    return [act] {
      HWND browser = Shown(IDC_BROWSE_TREE);
      if (!browser) return false;
      act(browser);
      return true;
    };
  }

  std::u16string root_;
};

// ---- The folder browser ----

TEST_F(StandardDialogTest, BrowserOpensAtTheDeepestExistingFolderAndTakesTheSelection) {
  char16_t buffer[kBufferSize];
  std::u16string start = root_ + u"\\alpha\\beta\\missing\\deeper";
  TextCopy(buffer, buffer + kBufferSize - 1, start.c_str());
  std::u16string caption, field, selectedPath, selectedName, parentName, ok, cancel, afterSelection;
  Script({OnBrowser([&](HWND browser) {
    HWND tree = GetDlgItem(browser, IDC_BROWSE_TREE);
    caption = TextOf(browser);
    field = TextOf(GetDlgItem(browser, IDC_BROWSE_PATH));
    ok = TextOf(GetDlgItem(browser, IDOK));
    cancel = TextOf(GetDlgItem(browser, IDCANCEL));
    HTREEITEM selected = TreeView_GetSelection(tree);
    selectedPath = ItemPath(tree, selected);
    selectedName = ItemText(tree, selected);
    parentName = ItemText(tree, TreeView_GetParent(tree, selected));
    Shoot(browser, u"folder_browser.png");
    TreeView_SelectItem(tree, TreeView_GetParent(tree, selected));  // as a click on "alpha" does
    afterSelection = TextOf(GetDlgItem(browser, IDC_BROWSE_PATH));
    Command(browser, IDOK);
  })});
  EXPECT_EQ(FolderBrowse(u"Choose the folder", main_window_, buffer, kBufferSize), kFolderChosen);
  EXPECT_EQ(caption, u"Choose the folder");
  EXPECT_EQ(ok, u"OK");
  EXPECT_EQ(cancel, u"Cancel");
  EXPECT_EQ(field, start) << "the field shows the start path as given";
  EXPECT_EQ(selectedPath, root_ + u"\\alpha\\beta") << "the deepest folder that exists is selected";
  EXPECT_EQ(selectedName, u"beta");
  EXPECT_EQ(parentName, u"alpha") << "the tree is expanded down to it";
  EXPECT_EQ(afterSelection, root_ + u"\\alpha") << "a selection puts its path into the field";
  EXPECT_EQ(std::u16string(buffer), root_ + u"\\alpha");
}

TEST_F(StandardDialogTest, BrowserOkCleansTheFieldAndKeepsDriveRoots) {
  struct Case {
    const char16_t* start;
    const char16_t* typed;  // null: the field as the browser filled it
    size_t capacity;
    const char16_t* field_at_start;
    const char16_t* chosen;
  } cases[] = {
      {u"C:", nullptr, kBufferSize, u"C:\\", u"C:\\"},  // a bare drive starts at its root
      {u"", u"C:\\", kBufferSize, u"", u"C:\\"},        // a root keeps its separator
      {u"", u"C:\\\\", kBufferSize, u"", u"C:\\"},
      {u"", u"C:/Apps//Probe\\\\", kBufferSize, u"", u"C:\\Apps\\Probe"},
      {u"", u"C:\\data\\a|b<c>?", kBufferSize, u"", u"C:\\data\\a_b_c__"},
      {u"", u"D:\\Apps\\Probe", 8, u"", u"D:\\Apps"},  // at most the buffer size, with the terminator
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "typed " << TextToUtf8(c.typed ? c.typed : u"(nothing)"));
    char16_t buffer[kBufferSize];
    TextCopy(buffer, buffer + kBufferSize - 1, c.start);
    std::u16string field, selectedPath;
    Script({OnBrowser([&](HWND browser) {
      HWND edit = GetDlgItem(browser, IDC_BROWSE_PATH);
      field = TextOf(edit);
      HWND tree = GetDlgItem(browser, IDC_BROWSE_TREE);
      selectedPath = ItemPath(tree, TreeView_GetSelection(tree));
      if (c.typed) SetWindowTextW(edit, reinterpret_cast<const wchar_t*>(c.typed));
      Command(browser, IDOK);
    })});
    EXPECT_EQ(FolderBrowse(nullptr, main_window_, buffer, c.capacity), kFolderChosen);
    EXPECT_EQ(field, c.field_at_start);
    if (c.start[0]) {
      EXPECT_EQ(selectedPath, u"C:\\") << "the root of the drive is selected";
    }
    EXPECT_EQ(std::u16string(buffer), c.chosen);
  }
}

TEST_F(StandardDialogTest, BrowserOkNeedsAPathAndCancelKeepsTheBuffer) {
  char16_t buffer[kBufferSize];
  TextCopy(buffer, buffer + kBufferSize - 1, root_.c_str());
  bool enabledEmpty = true, openAfterOk = false, enabledTyped = false;
  std::u16string caption;
  Script({OnBrowser([&](HWND browser) {
    caption = TextOf(browser);
    SetWindowTextW(GetDlgItem(browser, IDC_BROWSE_PATH), L"");
    enabledEmpty = IsWindowEnabled(GetDlgItem(browser, IDOK));
    Command(browser, IDOK);
    openAfterOk = IsWindow(browser) && IsWindowVisible(browser);
    SetWindowTextW(GetDlgItem(browser, IDC_BROWSE_PATH), L"C:\\elsewhere");
    enabledTyped = IsWindowEnabled(GetDlgItem(browser, IDOK));
    Command(browser, IDCANCEL);
  })});
  EXPECT_EQ(FolderBrowse(u"", main_window_, buffer, kBufferSize), kFolderCancelled);
  EXPECT_EQ(caption, u"Browse for Folder") << "an empty title keeps the template's caption";
  EXPECT_FALSE(enabledEmpty) << "OK is disabled while the field is empty";
  EXPECT_TRUE(openAfterOk);
  EXPECT_TRUE(enabledTyped);
  EXPECT_EQ(std::u16string(buffer), root_) << "Cancel leaves the buffer alone";
}

// ---- The password prompt ----

struct PromptSeen {
  bool found = false;
  std::u16string caption, label, line;
  bool required_visible = false, incorrect_visible = false, ok_enabled_empty = true, ok_enabled_typed = false;
  wchar_t mask = 0;
};

// Reads the prompt, then types `text` and presses OK (or Cancel when `text` is null).
Step AnswerPrompt(PromptSeen* seen, const char16_t* text, const char16_t* screenshot = nullptr) {
  return [=] {
    HWND prompt = Shown(IDC_PASSWORD_EDIT);
    if (!prompt) return false;
    seen->found = true;
    seen->caption = TextOf(prompt);
    seen->label = TextOf(GetDlgItem(prompt, IDC_PASSWORD_LABEL));
    seen->required_visible = IsWindowVisible(GetDlgItem(prompt, IDC_PASSWORD_REQUIRED));
    seen->incorrect_visible = IsWindowVisible(GetDlgItem(prompt, IDC_PASSWORD_INCORRECT));
    seen->line = TextOf(GetDlgItem(prompt, seen->incorrect_visible ? IDC_PASSWORD_INCORRECT : IDC_PASSWORD_REQUIRED));
    HWND edit = GetDlgItem(prompt, IDC_PASSWORD_EDIT);
    seen->mask = wchar_t(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0));
    seen->ok_enabled_empty = IsWindowEnabled(GetDlgItem(prompt, IDOK));
    if (!text) {
      Command(prompt, IDCANCEL);
      return true;
    }
    for (const char16_t* c = text; *c; ++c) SendMessageW(edit, WM_CHAR, *c, 1);
    seen->ok_enabled_typed = IsWindowEnabled(GetDlgItem(prompt, IDOK));
    if (screenshot) {
      Shoot(prompt, screenshot);
    }
    Command(prompt, IDOK);
    return true;
  };
}

TEST_F(StandardDialogTest, PromptMasksTheFirstAskAndReturnsTheTypedText) {
  PromptSeen seen;
  Script({AnswerPrompt(&seen, u"s3cret", u"password_prompt.png")});
  char16_t typed[kPasswordPromptCapacity];
  EXPECT_EQ(PasswordPromptShow(main_window_, {false, true}, typed), uint32_t(ERROR_SUCCESS));
  EXPECT_EQ(std::u16string(typed), u"s3cret");
  EXPECT_EQ(seen.caption, u"Probe Setup") << "the caption is the session's title";
  EXPECT_EQ(seen.label, u"&Password:");
  EXPECT_TRUE(seen.required_visible);
  EXPECT_FALSE(seen.incorrect_visible);
  EXPECT_EQ(seen.line, u"The installation archive requires a password.");
  EXPECT_EQ(seen.mask, L'*');
  EXPECT_FALSE(seen.ok_enabled_empty) << "OK waits for a password";
  EXPECT_TRUE(seen.ok_enabled_typed);
}

TEST_F(StandardDialogTest, PromptAfterAWrongPasswordSaysSoAndCancelEndsIt) {
  PromptSeen seen;
  Script({AnswerPrompt(&seen, nullptr)});
  char16_t typed[kPasswordPromptCapacity];
  EXPECT_EQ(PasswordPromptShow(main_window_, {true, false}, typed), uint32_t(ERROR_CANCELLED));
  EXPECT_EQ(typed[0], u'\0');
  EXPECT_FALSE(seen.required_visible);
  EXPECT_TRUE(seen.incorrect_visible);
  EXPECT_EQ(seen.line, u"Incorrect password. Please try again.");
  EXPECT_EQ(seen.mask, 0) << "header flag bit 1 clear: the text is shown";
}

// The run's password provider: the remembered password first, then the prompt, whose answer is
// remembered; a quiet run never asks.
TEST_F(StandardDialogTest, ProviderAsksAfterTheRememberedPasswordAndRemembersTheAnswer) {
  PackageReader* reader = PackageReaderCreate();
  reader->header.flags = kVolumeEnciphered | kVolumeMaskPassword;
  uint8_t buffer[255];
  uint32_t length = sizeof buffer;
  SessionStorePassword(session_, u"wrong");
  EXPECT_EQ(RunPasswordProvider(reader, 0, buffer, &length), uint32_t(ERROR_SUCCESS)) << "no prompt on attempt 0";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), "wrong");

  PromptSeen seen;
  Script({AnswerPrompt(&seen, u"right")});
  length = sizeof buffer;
  EXPECT_EQ(RunPasswordProvider(reader, 1, buffer, &length), uint32_t(ERROR_SUCCESS));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), "right");
  EXPECT_TRUE(seen.incorrect_visible);
  EXPECT_EQ(seen.mask, L'*');
  uint8_t plain[kRememberedPasswordSize];
  EXPECT_EQ(SessionRevealPassword(session_, plain), 5u);
  EXPECT_EQ(memcmp(plain, "right", 5), 0) << "the answer is the remembered password";

  Script({AnswerPrompt(&seen, nullptr)});
  length = sizeof buffer;
  EXPECT_EQ(RunPasswordProvider(reader, 2, buffer, &length), uint32_t(ERROR_CANCELLED));

  session_->quiet_level = 1;
  lines_.clear();
  length = sizeof buffer;
  EXPECT_EQ(RunPasswordProvider(reader, 1, buffer, &length), uint32_t(ERROR_INVALID_PASSWORD));
  EXPECT_TRUE(Traced(u"W1130", u"1|1"));
  PackageReaderDestroy(reader);
}

// ---- The file dialog action ----

class FileDialogActionTest : public StandardDialogTest {
 protected:
  SetupObject* FileDialog(uint64_t id, int32_t mode, const char16_t* variable, const char16_t* defaultName = nullptr,
                          const char16_t* title = nullptr) {
    SetupObject* action = Action(kTagFileDialog, id);
    BuilderSetInt(action, 28, mode);
    BuilderSetText(action, 30, variable);
    if (defaultName) BuilderSetLocalized(action, 25, defaultName, nullptr, 0);
    if (title) BuilderSetLocalized(action, kActionDescription, title, nullptr, 0);
    return action;
  }
};

TEST_F(FileDialogActionTest, FolderModeAppendsTheDefaultNameToAnotherFolder) {
  Variable(100, u"TargetFolder", (root_ + u"\\alpha\\beta").c_str());
  FileDialog(10, kFileDialogFolder, u"TargetFolder", u"Probe", u"Where to?");
  FileDialog(11, kFileDialogFolder, u"TargetFolder", u"alpha");
  Link();
  struct Case {
    uint64_t action;
    const char16_t* typed;
    std::u16string stored;
  } cases[] = {
      {10, u"", root_ + u"\\alpha\\Probe"},        // the selection's parent, "alpha", is chosen
      {11, u"", root_ + u"\\alpha"},               // already named like the default name
      {10, u"C:\\", u"C:\\Probe"},                 // a drive root
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "action " << c.action << " typed " << TextToUtf8(c.typed));
    VariableSetObject(db_, VariableFind(db_, u"TargetFolder"), (root_ + u"\\alpha\\beta").c_str());
    std::u16string caption, field;
    Script({OnBrowser([&](HWND browser) {
      caption = TextOf(browser);
      field = TextOf(GetDlgItem(browser, IDC_BROWSE_PATH));
      HWND tree = GetDlgItem(browser, IDC_BROWSE_TREE);
      TreeView_SelectItem(tree, TreeView_GetParent(tree, TreeView_GetSelection(tree)));
      if (c.typed[0]) SetWindowTextW(GetDlgItem(browser, IDC_BROWSE_PATH), reinterpret_cast<const wchar_t*>(c.typed));
      Command(browser, IDOK);
    })});
    EXPECT_EQ(RunOne(c.action), kResultDone);
    EXPECT_EQ(field, root_ + u"\\alpha\\beta") << "the browser starts at the variable's value";
    EXPECT_EQ(caption, c.action == 10 ? u"Where to?" : u"Browse for Folder") << "the description is the title";
    EXPECT_EQ(Value(100), c.stored);
  }
}

TEST_F(FileDialogActionTest, CancelEndsTheSequenceAndQuietRunsDoNotAsk) {
  Variable(100, u"TargetFolder", root_.c_str());
  FileDialog(10, kFileDialogFolder, u"TargetFolder", u"Probe");
  FileDialog(12, 3, u"TargetFolder");
  Action(kProbeTag, 11);
  Sequence(1, {10, 11});
  Link();
  Script({OnBrowser([](HWND browser) { Command(browser, IDCANCEL); })});
  EXPECT_EQ(RunOne(10), kResultFailed) << "a cancelled dialog";
  EXPECT_EQ(Value(100), root_) << "the variable keeps its value";
  Script({OnBrowser([](HWND browser) { Command(browser, IDCANCEL); })});
  Run(1);
  EXPECT_TRUE(Probe().calls.empty()) << "the action after a cancelled dialog does not run";
  EXPECT_EQ(RunOne(12), kResultFailed) << "an unknown mode";

  VariableSetInt(db_, 505, 1);  // the quiet level
  Script({});
  EXPECT_EQ(RunOne(10), kResultDone) << "nothing is shown in a quiet run";
  EXPECT_EQ(Value(100), root_);
}

// The open dialog of the system: the filter's 0x1F separators become the dialog's list, and the
// file typed into it lands in the variable.
TEST_F(FileDialogActionTest, OpenModeShowsTheFilterAndStoresTheChosenFile) {
  std::u16string file = root_ + u"\\alpha\\notes.txt";
  HANDLE created = CreateFileW(W(file), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  CloseHandle(created);
  Variable(100, u"ChosenFile", u"");
  SetupObject* action = FileDialog(10, kFileDialogOpen, u"ChosenFile", nullptr, u"Pick the notes");
  BuilderSetLocalized(action, 22, u"Text files\x1F*.txt\x1F" u"All files\x1F*.*", nullptr, 0);
  BuilderSetU32(action, 29, OFN_EXPLORER | OFN_FILEMUSTEXIST);
  Link();
  std::u16string firstType;
  LRESULT types = 0;
  Script({[&] {
    HWND dialog = Shown(0, L"Pick the notes");
    HWND typeList = dialog ? GetDlgItem(dialog, cmb1) : nullptr;
    HWND name = dialog ? GetDlgItem(dialog, edt1) : nullptr;
    if (dialog && !name) name = GetDlgItem(dialog, cmb13);  // the file name box of newer dialogs
    if (!typeList || !name) return false;
    types = SendMessageW(typeList, CB_GETCOUNT, 0, 0);
    wchar_t text[64] = L"";
    SendMessageW(typeList, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    firstType = reinterpret_cast<const char16_t*>(text);
    Shoot(dialog, u"file_dialog_open.png");
    SetWindowTextW(name, W(file));
    Command(dialog, IDOK);
    return true;
  }});
  EXPECT_EQ(RunOne(10), kResultDone);
  EXPECT_EQ(types, 2);
  EXPECT_EQ(firstType, u"Text files");
  EXPECT_TRUE(TextEqualNoCase(Value(100).c_str(), file.c_str())) << TextToUtf8(Value(100));
}


// The save dialog of the system (its own title when the action has no description) starts with the
// default name, and a file that does not exist yet may be chosen.
TEST_F(FileDialogActionTest, SaveModeStartsWithTheDefaultNameAndStoresANewFile) {
  std::u16string file = root_ + u"\\alpha\\report-2.txt";
  Variable(100, u"ReportFile", u"");
  FileDialog(10, kFileDialogSave, u"ReportFile", u"report.txt");
  Link();
  std::u16string firstName;
  Script({[&] {
    HWND dialog = Shown(0, L"Save As");
    HWND name = dialog ? GetDlgItem(dialog, edt1) : nullptr;
    if (dialog && !name) name = GetDlgItem(dialog, cmb13);
    if (!name) return false;
    firstName = TextOf(name);
    Shoot(dialog, u"file_dialog_save.png");
    SetWindowTextW(name, W(file));
    Command(dialog, IDOK);
    return true;
  }});
  EXPECT_EQ(RunOne(10), kResultDone);
  EXPECT_EQ(firstName, u"report.txt");
  EXPECT_TRUE(TextEqualNoCase(Value(100).c_str(), file.c_str())) << TextToUtf8(Value(100));
  EXPECT_EQ(GetFileAttributesW(W(file)), INVALID_FILE_ATTRIBUTES) << "choosing a name creates no file";
}

}  // namespace
