#include "ui/dialog_engine.h"

#include "actions/action_runner.h"
#include "actions/cancel_query.h"
#include "actions/dialog_result.h"
#include "runtime/heap.h"
#include "runtime/message_pump.h"
#include "runtime/run_control.h"
#include "runtime/trace.h"
#include "session/session_window.h"
#include "ui/about_box.h"
#include "ui/control_framework.h"
#include "ui/dialog_messages.h"
#include "ui/dialog_resources.h"
#include "ui/dialog_run_record.h"
#include "ui/dialog_template.h"
#include "ui/main_window.h"

namespace {

constexpr uint32_t kTagSequence = TagOf("aseq");
constexpr int32_t kNoEndCode = -1;

DialogRunRecord* g_running;  // the running dialogs, newest first

void RunningAdd(DialogRunRecord* run) {
  run->next = g_running;
  g_running = run;
}

void RunningRemove(DialogRunRecord* run) {
  for (DialogRunRecord** link = &g_running; *link; link = &(*link)->next) {
    if (*link != run) continue;
    *link = run->next;
    run->next = nullptr;
    return;
  }
}

bool RunningContains(const DialogRunRecord* run) {
  for (const DialogRunRecord* item = g_running; item; item = item->next)
    if (item == run) return true;
  return false;
}

DialogRunRecord* RecordOf(HWND window) {
  return reinterpret_cast<DialogRunRecord*>(GetWindowLongPtrW(window, DWLP_USER));
}

INT_PTR Result(HWND window, LRESULT result) {
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// The handlers of a message that may run event sequences have returned: a close stored meanwhile
// destroys the window now. Controls still notify while the window is destroyed (a tree view reports
// each item it deletes); destroying it again from there would destroy them a second time.
void EndHandling(HWND window, DialogRunRecord* run) {
  if (--run->handling == 0 && run->closing && !run->destroying) DestroyWindow(window);
}

// The button ids that close a dialog, and those that validate the controls first.
bool IsClosingButton(uint32_t id) {
  return (id >= IDOK && id <= IDCLOSE) || id == IDTRYAGAIN || id == IDCONTINUE || id == kWizardBackCommand ||
         id == kWizardBackCommand + 1 || id == kWizardBackCommand + 2;
}

bool Validates(WPARAM id) {
  return id == IDOK || id == IDYES || id == IDTRYAGAIN || id == kWizardBackCommand + 1 || id == kWizardBackCommand + 2;
}

bool Accepts(HWND control, void*) { return SendMessageW(control, kControlValidateMessage, 0, 0) != 0; }

// 0x8082: validation for the buttons that need it, then the end code, the end of a modal wait and
// the window's destruction (deferred while handlers are on the stack).
LRESULT Close(HWND window, DialogRunRecord* run, WPARAM button) {
  if (run->closing) return 0;
  if (Validates(button)) {
    if (HWND refusing = ControlForEach(window, Accepts, nullptr)) {
      SetFocus(refusing);
      return kValidationRefused;
    }
  }
  SetSlotU32(run->dialog, kDialogEndCode, uint32_t(button));
  SetSlotPointer(run->dialog, kDialogWait, nullptr);
  RunningRemove(run);
  run->closing = true;
  Trace(TR("I3226"), u"%u|%u", SlotU32(run->dialog, kDialogTemplate), uint32_t(button));
  if (run->handling == 0) DestroyWindow(window);
  return 0;
}

void Command(HWND window, WPARAM wParam, LPARAM lParam) {
  auto control = reinterpret_cast<HWND>(lParam);
  if (control && ControlInstanceOf(control) && SendMessageW(control, kReflectedCommand, wParam, lParam) != kNotHandled)
    return;
  uint32_t id = LOWORD(wParam);
  if (HIWORD(wParam) != 0 || !IsClosingButton(id)) return;
  HWND button = GetDlgItem(window, int(id));
  if (button && !IsWindowEnabled(button)) return;
  if (id == IDCANCEL && !QueryCancel(window)) return;
  SendMessageW(window, kDialogCloseMessage, id, 0);
}

LRESULT Notify(const NMHDR* header, WPARAM wParam, LPARAM lParam) {
  if (!header || !ControlInstanceOf(header->hwndFrom)) return 0;
  LRESULT result = SendMessageW(header->hwndFrom, kReflectedNotify, wParam, lParam);
  return result == kNotHandled ? 0 : result;
}

// 0x8000: the event sequence whose key matches runs with the event record as its context.
LRESULT RunEvent(DialogRunRecord* run, const DialogEvent* event) {
  const U64Array* sequences = SlotView<U64Array>(run->dialog, kDialogEvents);
  for (uint32_t i = 0; i < sequences->count; ++i) {
    SetupObject* sequence = ObjectTableFind(run->database, kTagSequence, sequences->items[i]);
    if (!sequence || SlotU32(sequence, kSequenceEventKey) != event->key) continue;
    // The six context words: key, sender, dialog, value 1, value 2 (pointers keep their low 32 bits
    // on 64-bit builds), 0.
    uint32_t context[6] = {event->key, uint32_t(reinterpret_cast<uintptr_t>(event->sender)),
                           uint32_t(reinterpret_cast<uintptr_t>(event->dialog)), uint32_t(event->value1),
                           uint32_t(event->value2), 0};
    return RunSequence(run->database, sequence, context);
  }
  return kNotHandled;
}

INT_PTR ColourStatic(HDC dc, HWND control) {
  const ControlRecordView* record = ControlRecordOf(control);
  if (!record) return FALSE;
  SetTextColor(dc, DialogColour(record->text_colour));
  if (record->flags & kControlRecordTransparent) {
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(DialogHollowBrush());
  }
  SetBkColor(dc, DialogColour(record->background_colour));
  return reinterpret_cast<INT_PTR>(DialogBrushForColour(record->background_colour));
}

// Dialogs send their rectangle to the main window whenever they move, so that message boxes
// without an owner appear over the active page.
void FollowDialog(HWND window, const DialogRunRecord* run, const WINDOWPOS* position) {
  if ((position->flags & SWP_NOMOVE) || run->placing) return;
  HWND main = SessionMainWindow();
  RECT rect;
  if (main && GetWindowRect(window, &rect)) SendMessageW(main, kMainWindowCentre, 0, reinterpret_cast<LPARAM>(&rect));
}

BOOL CALLBACK PassPaletteMessage(HWND child, LPARAM argument) {
  const auto* message = reinterpret_cast<const MSG*>(argument);
  SendMessageW(child, message->message, message->wParam, message->lParam);
  return TRUE;
}

BOOL CALLBACK DetachRecord(HWND child, LPARAM) {
  ControlDetachRecord(child);
  return TRUE;
}

void FinalDestruction(HWND window, DialogRunRecord* run) {
  if (run->big_icon) DestroyIcon(run->big_icon);
  if (run->small_icon) DestroyIcon(run->small_icon);
  SetSlotPointer(run->dialog, kDialogWindow, nullptr);
  SetSlotPointer(run->dialog, kDialogWait, nullptr);
  ModelessRemove(window);
  RunningRemove(run);
  SetWindowLongPtrW(window, DWLP_USER, 0);
  MemFree(run->records);
  MemFree(run);
}

INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG)
    return DialogInitialise(window, reinterpret_cast<DialogRunRecord*>(lParam), reinterpret_cast<HWND>(wParam));
  DialogRunRecord* run = RecordOf(window);
  if (!run) return FALSE;
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) ModelessPush(window);
      return FALSE;
    case WM_SHOWWINDOW:
      DialogSendEvent(window, window, 0, wParam ? kEventShown : kEventHidden, 0, 0);
      return FALSE;
    case WM_WINDOWPOSCHANGED:
      FollowDialog(window, run, reinterpret_cast<const WINDOWPOS*>(lParam));
      return FALSE;
    case WM_CTLCOLORSTATIC:
      return ColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wParam) == window) return FALSE;
      [[fallthrough]];
    case WM_QUERYNEWPALETTE: {
      MSG passed{window, message, wParam, lParam, 0, {}};
      EnumChildWindows(window, PassPaletteMessage, reinterpret_cast<LPARAM>(&passed));
      return FALSE;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != kAboutCommand) return FALSE;
      AboutShow(window);
      return TRUE;
    case WM_COMMAND:
      ++run->handling;
      Command(window, wParam, lParam);
      EndHandling(window, run);
      return TRUE;
    case WM_NOTIFY: {
      ++run->handling;
      LRESULT result = Notify(reinterpret_cast<const NMHDR*>(lParam), wParam, lParam);
      SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      EndHandling(window, run);
      return TRUE;
    }
    case kDialogCloseMessage:
      return Result(window, Close(window, run, wParam));
    case kDialogEventMessage: {
      ++run->handling;
      LRESULT result = RunEvent(run, reinterpret_cast<const DialogEvent*>(lParam));
      SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
      EndHandling(window, run);
      return TRUE;
    }
    case WM_DESTROY:
      run->destroying = true;
      EnumChildWindows(window, DetachRecord, 0);
      return FALSE;
    case WM_NCDESTROY:
      FinalDestruction(window, run);
      return FALSE;
  }
  return FALSE;
}

// Pumps until the dialog's wait ends; the end code, or -1 when the run quits or waiting fails.
int32_t WaitForClose(SetupObject* dialog) {
  bool waiting = true;
  SetSlotPointer(dialog, kDialogWait, &waiting);
  const RunControl* control = RunControlCurrent();
  while (SlotPointer<bool>(dialog, kDialogWait)) {
    if (control->quit_requested()) break;
    if (PumpPendingMessages() || !SlotPointer<bool>(dialog, kDialogWait) || control->quit_requested()) continue;
    if (!WaitMessage()) {
      Trace(TR("E3227"), u"%lu", GetLastError());
      SetSlotU32(dialog, kDialogEndCode, uint32_t(kNoEndCode));
      SetSlotPointer(dialog, kDialogWait, nullptr);
    }
  }
  SetSlotPointer(dialog, kDialogWait, nullptr);
  return SlotInt(dialog, kDialogEndCode);
}

}  // namespace

int32_t DialogRun(SetupObject* dialog, ObjectTable* database, HWND owner, bool wait) {
  if (!dialog || DialogWindowOf(dialog)) return -1;
  SetSlotU32(dialog, kDialogEndCode, uint32_t(kNoEndCode));
  auto* run = MemNew<DialogRunRecord>();
  run->dialog = dialog;
  run->database = database;
  run->modal = wait;
  RunningAdd(run);
  HWND window = DialogCreateModeless(SlotU32(dialog, kDialogTemplate), Procedure, kLayoutFollowSession, owner,
                                     reinterpret_cast<LPARAM>(run));
  if (!window || !IsWindow(window)) {
    // A window that was made and closed again during its initialisation has freed its record.
    if (RunningContains(run)) {
      RunningRemove(run);
      MemFree(run);
    }
    return window ? SlotInt(dialog, kDialogEndCode) : -1;
  }
  ShowWindow(window, SW_SHOWNORMAL);
  if (!wait) return 0;
  HWND disabled = GetWindow(window, GW_OWNER);
  if (disabled) EnableWindow(disabled, FALSE);
  int32_t result = WaitForClose(dialog);
  if (disabled) {
    EnableWindow(disabled, TRUE);
    SetActiveWindow(disabled);
  }
  return result;
}

HWND DialogWindowOf(const SetupObject* dialog) {
  auto window = SlotPointer<HWND__>(dialog, kDialogWindow);
  return window && IsWindow(window) ? window : nullptr;
}

void DialogCloseAll() {
  while (DialogRunRecord* run = g_running) {
    RunningRemove(run);
    if (IsWindow(run->window)) DestroyWindow(run->window);
  }
}

LRESULT DialogSendEvent(HWND dialog, HWND sender, uint32_t controlId, uint16_t code, intptr_t value1,
                        intptr_t value2) {
  DialogEvent event{DialogEventKey(controlId, code), sender, dialog, value1, value2};
  return SendMessageW(dialog, kDialogEventMessage, 0, reinterpret_cast<LPARAM>(&event));
}
