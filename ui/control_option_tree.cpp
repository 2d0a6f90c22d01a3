// c008 option tree: the installation's options as a tree view with images by state; the space key or
// a click on an item's icon toggles its option; the selected option's texts and size go to the
// predefined variables 514-518.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include "database/localized_text.h"
#include "expr/option_object.h"
#include "expr/option_states.h"
#include "expr/variables.h"
#include "runtime/heap.h"
#include "session/session_window.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"
#include "ui/window_text.h"

namespace {

constexpr uint32_t kOptionShownInTree = 0x4;  // the option is listed by option trees
constexpr uint32_t kOptionExpanded = 0x20;    // its item is shown expanded
constexpr int kMaxDepth = 64;

enum : uint32_t {
  kVarHasDetails = 514,
  kVarDescription = 515,
  kVarTitle = 516,
  kVarDetails = 517,
  kVarSize = 518,
};

HIMAGELIST g_images;

const int kImages[] = {0, 0, 1, 2, 4};
const int kExclusiveImages[] = {5, 5, 6, 7, 9};

int ImageOf(const SetupObject* option) {
  int32_t state = OptionSelection(option);
  if (state < 0) state = 0;
  if (state > kSelectionFixed) state = kSelectionFixed;
  return (SlotU32(option, kOptionFlags) & kOptionRadio) ? kExclusiveImages[state] : kImages[state];
}

// Dimmed: unavailable, or below a parent that is not selected.
bool IsDimmed(const SetupObject* option) {
  const auto* parent = SlotPointer<const SetupObject>(option, kOptionParent);
  return OptionSelection(option) == kSelectionUnavailable || (parent && OptionSelection(parent) < kSelectionSelected);
}

// A localized text of the option in the interface language, substituted (heap block, MemFree).
char16_t* OptionText(ObjectTable* db, const SetupObject* option, unsigned slot) {
  const char16_t* text = LocalizedTextFor(SlotLocalized(option, slot), SessionLanguage());
  return SubstitutedCopy(db, text ? text : u"");
}

SetupObject* OptionOf(HWND tree, HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  return TreeView_GetItem(tree, &data) ? reinterpret_cast<SetupObject*>(data.lParam) : nullptr;
}

void Insert(ControlInstance* instance, const PointerList* options, HTREEITEM parent, int depth) {
  if (depth > kMaxDepth) return;
  for (uint32_t i = 0; i < options->count; ++i) {
    SetupObject* option = options->items[i];
    if (!(SlotU32(option, kOptionFlags) & kOptionShownInTree) || OptionSelection(option) == kSelectionUnavailable) continue;
    char16_t* text = OptionText(instance->database, option, kOptionTitle);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    insert.item.pszText = reinterpret_cast<wchar_t*>(text);
    insert.item.lParam = reinterpret_cast<LPARAM>(option);
    insert.item.iImage = insert.item.iSelectedImage = ImageOf(option);
    insert.item.stateMask = TVIS_EXPANDED | TVIS_CUT;
    insert.item.state = ((SlotU32(option, kOptionFlags) & kOptionExpanded) ? TVIS_EXPANDED : 0) |
                        (IsDimmed(option) ? TVIS_CUT : 0);
    HTREEITEM item = TreeView_InsertItem(instance->window, &insert);
    MemFree(text);
    if (item) Insert(instance, SlotPointerList(option, kOptionChildren), item, depth + 1);
    if (item && (insert.item.state & TVIS_EXPANDED)) TreeView_Expand(instance->window, item, TVE_EXPAND);
  }
}

// Every item's image and dimming from its option's current state.
void Refresh(HWND tree, HTREEITEM item, int depth) {
  for (; item && depth <= kMaxDepth; item = TreeView_GetNextSibling(tree, item)) {
    if (SetupObject* option = OptionOf(tree, item)) {
      TVITEMW data{};
      data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
      data.hItem = item;
      data.iImage = data.iSelectedImage = ImageOf(option);
      data.stateMask = TVIS_CUT;
      data.state = IsDimmed(option) ? TVIS_CUT : 0;
      TreeView_SetItem(tree, &data);
    }
    Refresh(tree, TreeView_GetChild(tree, item), depth + 1);
  }
}

SetupObject* SelectedOption(HWND tree) {
  HTREEITEM item = TreeView_GetSelection(tree);
  return item ? OptionOf(tree, item) : nullptr;
}

void PublishSize(ControlInstance* instance) {
  if (SetupObject* option = SelectedOption(instance->window))
    VariableSetU64(instance->database, kVarSize, SlotU64(option, kOptionInstallSize));
}

void SelectionChanged(ControlInstance* instance) {
  SetupObject* option = SelectedOption(instance->window);
  if (!option) return;
  ObjectTable* db = instance->database;
  char16_t* title = OptionText(db, option, kOptionTitle);
  char16_t* description = OptionText(db, option, kOptionDescription);
  const char16_t* detailsSource = SlotText(option, kOptionVariable);
  char16_t* details = SubstitutedCopy(db, detailsSource ? detailsSource : u"");
  VariableSet(db, kVarTitle, title);
  VariableSet(db, kVarDescription, description);
  VariableSet(db, kVarDetails, details);
  VariableSetU32(db, kVarHasDetails, details[0] ? 1 : 0);
  PublishSize(instance);
  ControlSendEvent(instance, kEventSelectionChanged, kVarTitle, reinterpret_cast<intptr_t>(title));
  MemFree(details);
  MemFree(description);
  MemFree(title);
}

void Toggle(ControlInstance* instance, HTREEITEM item) {
  HWND tree = instance->window;
  SetupObject* option = item ? OptionOf(tree, item) : nullptr;
  if (!option || (TreeView_GetItemState(tree, item, TVIS_CUT) & TVIS_CUT)) return;
  OptionSetState(instance->database, option, kOptionRequestToggle, tree);
  Refresh(tree, TreeView_GetRoot(tree), 0);
  PublishSize(instance);
  char16_t* title = OptionText(instance->database, option, kOptionTitle);
  ControlSendEvent(instance, kEventValueChanged, kVarTitle, reinterpret_cast<intptr_t>(title));
  MemFree(title);
}

// The item whose icon is under the mouse position of the current message, or null.
HTREEITEM ItemUnderCursorIcon(HWND tree) {
  DWORD position = GetMessagePos();
  TVHITTESTINFO hit{};
  hit.pt = POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ScreenToClient(tree, &hit.pt);
  HTREEITEM item = TreeView_HitTest(tree, &hit);
  return (hit.flags & TVHT_ONITEMICON) ? item : nullptr;
}

void Bind(ControlInstance* instance) {
  HWND tree = instance->window;
  if (g_images) TreeView_SetImageList(tree, g_images, TVSIL_NORMAL);
  TreeView_DeleteAllItems(tree);
  Insert(instance, &instance->database->options, TVI_ROOT, 0);
  if (HTREEITEM first = TreeView_GetRoot(tree)) TreeView_SelectItem(tree, first);
  SelectionChanged(instance);
  OptionListen(tree);
}

int Notified(ControlInstance* instance, const NMHDR* header) {
  switch (header->code) {
    case TVN_SELCHANGEDW:
      SelectionChanged(instance);
      return 1;
    case NM_CLICK:
    case NM_DBLCLK:
    case NM_RCLICK:
    case NM_RDBLCLK:
      if (HTREEITEM item = ItemUnderCursorIcon(instance->window)) {
        Toggle(instance, item);
        return 1;
      }
      return 0;
  }
  return 0;
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
  switch (message) {
    case kControlBindMessage:
      Bind(instance);
      return 0;
    case WM_KEYDOWN:
      if (wParam != VK_SPACE) return 0;
      Toggle(instance, TreeView_GetSelection(instance->window));
      *result = 0;
      return 1;
    case WM_CHAR:
      return wParam == u' ';  // the space of the toggle makes no search
    case kOptionChangedMessage:
      Refresh(instance->window, TreeView_GetRoot(instance->window), 0);
      PublishSize(instance);
      *result = 0;
      return 1;
    case WM_NCDESTROY:
      OptionUnlisten(instance->window);
      return 0;
    case kReflectedNotify:
      if (!Notified(instance, reinterpret_cast<const NMHDR*>(lParam))) return 0;
      *result = 0;
      return 1;
  }
  return 0;
}

}  // namespace

void OptionTreeSetImages(void* image_list) { g_images = static_cast<HIMAGELIST>(image_list); }

const ControlMethods kOptionTreeMethods = {
    Handler,  // handler
    nullptr,  // set-from-text
};
