#include "actions/file_dialog_action.h"

#include <windows.h>

#include <commdlg.h>

#include "actions/action_object.h"
#include "actions/target_variable.h"
#include "database/localized_text.h"
#include "expr/variables.h"
#include "runtime/heap.h"
#include "runtime/path_parts.h"
#include "runtime/text.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/folder_browser.h"
#include "ui/window_text.h"

namespace {

enum : unsigned {
  kFileDialogFilter = 22,       // localized text: "name\x1Fpattern\x1F..." pairs
  kFileDialogDefaultName = 25,  // localized text
  kFileDialogMode = 28,         // int
  kFileDialogFlags = 29,        // u32: OFN_* flags of the open and save dialogs
  kFileDialogVariable = 30,     // text
};

constexpr uint32_t kAddedFlags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

struct Texts {
  char16_t* title;         // the action's description, substituted
  char16_t* default_name;  // substituted
};

const char16_t* Localized(SetupObject* action, unsigned slot) {
  const char16_t* text = LocalizedTextFor(SlotLocalized(action, slot), SessionLanguage());
  return text ? text : u"";
}

// The folder browser from `result`; the default name goes below a chosen folder of another name.
bool ChooseFolder(const Texts& texts, char16_t* result) {
  if (FolderBrowse(texts.title, SessionMainWindow(), result, kFileDialogResultCapacity) != kFolderChosen) return false;
  if (texts.default_name[0] && !TextEqualNoCase(PathNamePart(result), texts.default_name)) {
    char16_t folder[kFileDialogResultCapacity];
    TextCopy(folder, folder + kFileDialogResultCapacity - 1, result);
    PathJoin(result, result + kFileDialogResultCapacity - 1, folder, texts.default_name);
  }
  return true;
}

// The open or save dialog; `result` holds the initial file (the default name when it is empty).
bool ChooseFile(SetupObject* action, int32_t mode, const Texts& texts, char16_t* result) {
  const char16_t* stored = Localized(action, kFileDialogFilter);
  size_t length = TextLength(stored);
  auto* filter = MemNew<char16_t>(length + 2);  // the list ends with two terminators
  for (size_t i = 0; i < length; ++i) filter[i] = stored[i] == kFileDialogFilterSeparator ? u'\0' : stored[i];
  filter[length] = filter[length + 1] = 0;
  if (!result[0]) TextCopy(result, result + kFileDialogResultCapacity - 1, texts.default_name);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = SessionMainWindow();
  dialog.lpstrFilter = length ? reinterpret_cast<const wchar_t*>(filter) : nullptr;
  dialog.lpstrFile = reinterpret_cast<wchar_t*>(result);
  dialog.nMaxFile = kFileDialogResultCapacity;
  dialog.lpstrTitle = texts.title[0] ? reinterpret_cast<const wchar_t*>(texts.title) : nullptr;
  dialog.Flags = SlotU32(action, kFileDialogFlags) | kAddedFlags;
  auto show = mode == kFileDialogOpen ? GetOpenFileNameW : GetSaveFileNameW;
  BOOL chosen = show(&dialog);
  if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {  // an initial value no dialog takes
    result[0] = 0;
    chosen = show(&dialog);
  }
  MemFree(filter);
  return chosen != FALSE;
}

int32_t ShowFileDialog(SetupObject* action, ObjectTable* db, uint32_t*) {
  SessionState* s = SessionCurrent();
  if (s && SessionQuietLevel(s) != 0) return kResultDone;
  int32_t mode = SlotInt(action, kFileDialogMode);
  if (mode != kFileDialogFolder && mode != kFileDialogOpen && mode != kFileDialogSave) return kResultFailed;
  SetupObject* variable = ActionTargetVariable(db, action, kFileDialogVariable);
  if (!variable) return kResultMissing;
  auto* result = MemNew<char16_t>(kFileDialogResultCapacity);
  Texts texts{SubstitutedCopy(db, Localized(action, kActionDescription)),
              SubstitutedCopy(db, Localized(action, kFileDialogDefaultName))};
  VariableValueOf(db, variable, result, result + kFileDialogResultCapacity - 1);
  bool chosen = mode == kFileDialogFolder ? ChooseFolder(texts, result) : ChooseFile(action, mode, texts, result);
  if (chosen) VariableSetObject(db, variable, result);
  MemFree(result);
  MemFree(texts.title);
  MemFree(texts.default_name);
  return chosen ? kResultDone : kResultFailed;
}

}  // namespace

const ActionMethods kFileDialogMethods = {
    ShowFileDialog,  // run
    nullptr,         // finalize
    nullptr,         // rollback
};
