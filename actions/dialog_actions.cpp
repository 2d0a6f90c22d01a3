// a201 Run a dialog, a202 End a dialog, a203 Window state and a204 About box; the registration of
// a212 Standard file dialog.
#include "actions/dialog_actions.h"

#include <windows.h>

#include "actions/action_object.h"
#include "actions/action_runner.h"
#include "actions/dialog_result.h"
#include "actions/file_dialog_action.h"
#include "database/class_registry.h"
#include "database/localized_text.h"
#include "runtime/heap.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/about_box.h"
#include "ui/control_framework.h"
#include "ui/dialog_engine.h"
#include "ui/dialog_messages.h"
#include "ui/window_text.h"

namespace {

constexpr uint32_t kTagDialog = TagOf("dlg ");

enum : unsigned {
  kDialogReference = 22,  // a201, a202, a203: the dialog (a203: the dialog or control)
  kRunDialogOptions = 24, // a201: u32
  kEndDialogCode = 24,    // a202: int
  kWindowText = 24,       // a203: localized text
  kWindowOperation = 27,  // a203: int
  kWindowValue = 28,      // a203: int
};

constexpr UINT kStyleBitMessage = 0x40A;
constexpr LONG kStyleBit = 0x8;

SetupObject* DialogOf(SetupObject* action, ObjectTable* db) {
  SetupObject* dialog = ObjectTableFind(db, kTagDialog, SlotU64(action, kDialogReference));
  if (!dialog) Trace(TR("W1750"), u"%s|%016I64X", ActionName(action), SlotU64(action, kDialogReference));
  return dialog;
}

int32_t RunDialog(SetupObject* action, ObjectTable* db, uint32_t*) {
  SetupObject* dialog = DialogOf(action, db);
  if (!dialog) return kResultMissing;
  if (DialogWindowOf(dialog)) return kResultDone;
  bool modal = SlotU32(action, kRunDialogOptions) & kRunDialogModal;
  SessionState* s = SessionCurrent();
  int32_t level = s ? SessionQuietLevel(s) : 0;
  if (level >= 2 || (modal && level != 0)) {  // a quiet run never waits for a window
    Trace(TR("I1751"), u"%s|%d|%d", ActionName(action), level, modal ? 1 : 0);
    return kResultDone;
  }
  int32_t closedBy = DialogRun(dialog, db, SessionMainWindow(), modal);
  if (!modal && closedBy == 0) RunnerRegisterModelessDialog(DialogWindowOf(dialog));
  return ActionResultFromDialog(closedBy);
}

int32_t EndRunningDialog(SetupObject* action, ObjectTable* db, uint32_t* context) {
  SetupObject* dialog = DialogOf(action, db);
  if (!dialog) return kResultMissing;
  if (HWND window = DialogWindowOf(dialog))
    SendMessageW(window, kDialogCloseMessage, WPARAM(SlotInt(action, kEndDialogCode)), context ? context[2] : 0);
  return ActionResultFromDialog(SlotInt(dialog, kDialogEndCode));
}

// The window of a dialog or control object; false for objects of other classes.
bool TargetWindow(SetupObject* target, HWND* window) {
  if (ObjectIsA(target, kTagDialog)) *window = DialogWindowOf(target);
  else if (ObjectIsA(target, TagOf("c000"))) *window = SlotPointer<HWND__>(target, kControlWindow);
  else return false;
  return true;
}

void ApplyOperation(HWND window, int32_t operation, int32_t value, const char16_t* text) {
  auto textParameter = reinterpret_cast<LPARAM>(text);
  switch (operation) {
    case kWindowShow: ShowWindow(window, value); break;
    case kWindowEnable: EnableWindow(window, value != 0); break;
    case kWindowReadOnly: SendMessageW(window, EM_SETREADONLY, WPARAM(value), 0); break;
    case kWindowClick: SendMessageW(window, BM_CLICK, 0, 0); break;
    case kWindowAddItem: SendMessageW(window, kControlAddItemMessage, 0, textParameter); break;
    case kWindowSetValue: SendMessageW(window, kControlSetValueMessage, 0, textParameter); break;
    case kWindowSetText: SetWindowTextW(window, reinterpret_cast<const wchar_t*>(text)); break;
    case kWindowVerb: SendMessageW(window, kControlVerbMessage, 0, textParameter); break;
    case kWindowFocus:
      SetFocus(window);
      if (SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(window, EM_SETSEL, 0, -1);
      break;
    case kWindowStyleBit: {
      LONG style = GetWindowLongW(window, GWL_STYLE);
      SetWindowLongW(window, GWL_STYLE, value ? style | kStyleBit : style & ~kStyleBit);
      SendMessageW(window, kStyleBitMessage, WPARAM(value), 0);
      break;
    }
  }
}

int32_t SetWindowState(SetupObject* action, ObjectTable* db, uint32_t*) {
  SetupObject* target = ObjectTableFind(db, 0, SlotU64(action, kDialogReference));
  HWND window = nullptr;
  if (!target || !TargetWindow(target, &window)) {
    Trace(TR("W1752"), u"%s|%016I64X", ActionName(action), SlotU64(action, kDialogReference));
    return kResultMissing;
  }
  const char16_t* text = LocalizedTextFor(SlotLocalized(action, kWindowText), SessionLanguage());
  char16_t* substituted = SubstitutedCopy(db, text);
  int32_t operation = SlotInt(action, kWindowOperation);
  Trace(TR("I1753"), u"%s|%d|%d|%p", ActionName(action), operation, SlotInt(action, kWindowValue), window);
  if (window) ApplyOperation(window, operation, SlotInt(action, kWindowValue), substituted);
  MemFree(substituted);
  return kResultDone;
}

// The About box closes with OK or Cancel alike; a quiet run shows nothing.
int32_t ShowAbout(SetupObject*, ObjectTable*, uint32_t*) {
  AboutShow(SessionMainWindow());
  return kResultDone;
}

const ActionMethods kAboutMethods = {
    ShowAbout,  // run
    nullptr,    // finalize
    nullptr,    // rollback
};

const ActionMethods kRunDialogMethods = {
    RunDialog,  // run
    nullptr,    // finalize
    nullptr,    // rollback
};

const ActionMethods kEndDialogMethods = {
    EndRunningDialog,  // run
    nullptr,    // finalize
    nullptr,    // rollback
};

const ActionMethods kWindowStateMethods = {
    SetWindowState,  // run
    nullptr,         // finalize
    nullptr,         // rollback
};

}  // namespace

void DialogActionsRegister() {
  ClassSetActionMethods(TagOf("a201"), &kRunDialogMethods);
  ClassSetActionMethods(TagOf("a202"), &kEndDialogMethods);
  ClassSetActionMethods(TagOf("a203"), &kWindowStateMethods);
  ClassSetActionMethods(TagOf("a204"), &kAboutMethods);
  ClassSetActionMethods(TagOf("a212"), &kFileDialogMethods);
}
