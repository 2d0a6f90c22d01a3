// Dialog initialisation: the modeless stack, placement, texts, system menu and icons, the control
// objects, the control records with their fonts, binding, and the initialised event.
#include "resources/dialog_ids.h"
#include "resources/string_ids.h"
#include "runtime/heap.h"
#include "runtime/message_pump.h"
#include "runtime/modules.h"
#include "runtime/trace.h"
#include "session/session_window.h"
#include "ui/control_framework.h"
#include "ui/dialog_engine.h"
#include "ui/dialog_messages.h"
#include "ui/dialog_resources.h"
#include "ui/dialog_run_record.h"
#include "ui/dialog_template.h"
#include "ui/rich_text_class.h"
#include "ui/string_table.h"
#include "ui/window_placement.h"
#include "ui/window_text.h"

namespace {

constexpr uint32_t kTagControl = TagOf("c000");
constexpr int32_t kCentredOnWorkArea = -1;
constexpr size_t kMenuTextCapacity = 64;

void Place(HWND window, DialogRunRecord* run) {
  if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) return;
  int32_t placement = SlotInt(run->dialog, kDialogPlacement);
  ++run->placing;
  // Pages are owned by the invisible main window, which has no size: they are placed on the work area.
  WindowPlace(window, placement == kCentredOnWorkArea ? kPlacementCentre : uint32_t(placement),
              kPlaceInsideWorkArea | kPlaceOnDesktop);
  --run->placing;
}

void AddAboutItemAndIcons(HWND window, DialogRunRecord* run) {
  if (!(GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU)) return;
  if (HMENU menu = GetSystemMenu(window, FALSE)) {
    char16_t text[kMenuTextCapacity];
    StringLoad(IDS_ABOUT_MENU, SessionLanguage(), text, text + kMenuTextCapacity - 1);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand, reinterpret_cast<const wchar_t*>(text));
  }
  HINSTANCE module = ModuleInstance();
  run->big_icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                GetSystemMetrics(SM_CYICON), 0));
  run->small_icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  if (run->big_icon) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(run->big_icon));
  if (run->small_icon) SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(run->small_icon));
}

// Every text of the page may hold references: the caption, static texts, buttons, bound controls.
// A rich-text box holds its content, not a text: substituting it would flatten the rich text.
BOOL CALLBACK SubstituteChild(HWND child, LPARAM argument) {
  auto* run = reinterpret_cast<DialogRunRecord*>(argument);
  wchar_t name[16];
  if (GetClassNameW(child, name, 16) && lstrcmpiW(name, kRichTextClass) == 0) return TRUE;
  if (GetAncestor(child, GA_PARENT) == run->window) WindowSubstituteText(run->database, child);
  return TRUE;
}

void BindControlObjects(HWND window, DialogRunRecord* run) {
  const U64Array* controls = SlotView<U64Array>(run->dialog, kDialogControls);
  for (uint32_t i = 0; i < controls->count; ++i) {
    SetupObject* control = ObjectTableFind(run->database, kTagControl, controls->items[i]);
    HWND item = control ? GetDlgItem(window, int(SlotU32(control, kControlId))) : nullptr;
    if (!item) {
      Trace(TR("W3225"), u"%016I64X|%u", controls->items[i], control ? SlotU32(control, kControlId) : 0);
      continue;
    }
    ControlBind(run->database, control, item);
  }
}

// The control records of the template: attached to their controls, which receive 0x8041; a record
// naming a font record gives its control that font.
void ApplyControlRecords(HWND window, DialogRunRecord* run) {
  size_t size = 0;
  const uint8_t* data = DialogResourceData(MAKEINTRESOURCEW(RT_CONTROL_RECORDS),
                                           SlotU32(run->dialog, kDialogTemplate), &size);
  ControlRecordView record;
  size_t offset = 0;
  uint32_t count = 0;
  while (ControlRecordNext(data, size, &offset, &record)) ++count;
  if (!count) return;
  run->records = MemNew<ControlRecordView>(count);
  offset = 0;
  while (ControlRecordNext(data, size, &offset, &run->records[run->record_count])) ++run->record_count;
  for (uint32_t i = 0; i < run->record_count; ++i) {
    ControlRecordView* item = &run->records[i];
    HWND control = GetDlgItem(window, int(item->control_id));
    if (!control) continue;
    ControlAttachRecord(control, item);
    SendMessageW(control, kControlRecordMessage, 0, reinterpret_cast<LPARAM>(item));
    if (HFONT font = DialogFont(item->flags & kControlRecordFontMask))
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

BOOL CALLBACK SendBind(HWND child, LPARAM) {
  SendMessageW(child, kControlBindMessage, 0, 0);
  return TRUE;
}

}  // namespace

INT_PTR DialogInitialise(HWND window, DialogRunRecord* run, HWND focus) {
  ModelessPush(window);
  SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
  run->window = window;
  SetSlotPointer(run->dialog, kDialogWindow, window);
  Place(window, run);
  WindowSubstituteText(run->database, window);
  AddAboutItemAndIcons(window, run);
  BindControlObjects(window, run);
  EnumChildWindows(window, SubstituteChild, reinterpret_cast<LPARAM>(run));
  ApplyControlRecords(window, run);
  EnumChildWindows(window, SendBind, 0);
  DialogSendEvent(window, window, 0, kEventInitialised, 0, 0);
  if (!IsWindow(window)) return FALSE;
  LRESULT defaultId = SendMessageW(window, DM_GETDEFID, 0, 0);
  HWND defaultButton = HIWORD(defaultId) == DC_HASDEFID ? GetDlgItem(window, LOWORD(defaultId)) : nullptr;
  if (defaultButton && defaultButton != focus && IsWindowEnabled(defaultButton)) {
    SetFocus(defaultButton);
    return FALSE;
  }
  return TRUE;
}
