// c005 combo box and c006 list box: items from the control record's extra data (each with its index
// as item data), the value of an item from the value list (slot 14) at its index, else its text.
// The two classes behave alike, each with its own messages.
#include <windows.h>

#include <cstring>

#include "runtime/heap.h"
#include "runtime/text.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"
#include "ui/window_text.h"

namespace {

constexpr unsigned kValueList = 14;  // texts
constexpr LRESULT kNoItem = -1;      // CB_ERR and LB_ERR

struct ListMessages {
  UINT reset, add, set_data, get_data, count, get_selection, set_selection, text_length, text;
  WORD selection_changed;
  WORD text_edited;  // 0: the class has no edit field
};

const ListMessages kCombo = {CB_RESETCONTENT, CB_ADDSTRING,  CB_SETITEMDATA,  CB_GETITEMDATA,  CB_GETCOUNT,
                             CB_GETCURSEL,    CB_SETCURSEL,  CB_GETLBTEXTLEN, CB_GETLBTEXT,    CBN_SELCHANGE,
                             CBN_EDITCHANGE};
const ListMessages kList = {LB_RESETCONTENT, LB_ADDSTRING, LB_SETITEMDATA, LB_GETITEMDATA, LB_GETCOUNT,
                            LB_GETCURSEL,    LB_SETCURSEL, LB_GETTEXTLEN,  LB_GETTEXT,     LBN_SELCHANGE,
                            0};

const ListMessages& MessagesOf(const ControlInstance* instance) {
  return instance->tag == TagOf("c005") ? kCombo : kList;
}

void AddItem(HWND window, const ListMessages& m, const char16_t* text, LPARAM data) {
  LRESULT index = SendMessageW(window, m.add, 0, reinterpret_cast<LPARAM>(text));
  if (index >= 0) SendMessageW(window, m.set_data, WPARAM(index), data);
}

// 0x8041: a record of this class with extra data fills the list.
void Fill(ControlInstance* instance, const ControlRecordView* record) {
  if (!record || record->tag != instance->tag || !record->extra_length) return;
  const ListMessages& m = MessagesOf(instance);
  SendMessageW(instance->window, m.reset, 0, 0);
  ControlRecordItems items = ControlRecordItemsBegin(record);
  const uint8_t* bytes;
  size_t length;
  for (LPARAM index = 0; ControlRecordItemNext(&items, &bytes, &length); ++index) {
    auto* raw = MemNew<char16_t>(length + 1);
    memcpy(raw, bytes, length * sizeof(char16_t));
    char16_t* text = SubstitutedCopy(instance->database, raw);
    AddItem(instance->window, m, text, index);
    MemFree(text);
    MemFree(raw);
  }
}

const TextList* Values(const ControlInstance* instance) { return SlotView<TextList>(instance->control, kValueList); }

// The item's text (heap block, MemFree), or null when it cannot be read.
char16_t* ItemText(HWND window, const ListMessages& m, LRESULT index) {
  LRESULT length = SendMessageW(window, m.text_length, WPARAM(index), 0);
  if (length < 0) return nullptr;
  auto* text = MemNew<char16_t>(size_t(length) + 1);
  if (SendMessageW(window, m.text, WPARAM(index), reinterpret_cast<LPARAM>(text)) < 0) {
    MemFree(text);
    return nullptr;
  }
  return text;
}

void SelectionChanged(ControlInstance* instance) {
  const ListMessages& m = MessagesOf(instance);
  LRESULT index = SendMessageW(instance->window, m.get_selection, 0, 0);
  if (index < 0) return;
  auto data = intptr_t(SendMessageW(instance->window, m.get_data, WPARAM(index), 0));
  const TextList* values = Values(instance);
  if (data >= 0 && uintptr_t(data) < values->count) {
    ControlWriteVariable(instance, values->items[data], kEventSelectionChanged);
    return;
  }
  char16_t* text = ItemText(instance->window, m, index);
  if (!text) return;
  ControlWriteVariable(instance, text, kEventSelectionChanged);
  MemFree(text);
}

LRESULT FindByData(HWND window, const ListMessages& m, LRESULT data) {
  LRESULT count = SendMessageW(window, m.count, 0, 0);
  for (LRESULT i = 0; i < count; ++i)
    if (SendMessageW(window, m.get_data, WPARAM(i), 0) == data) return i;
  return kNoItem;
}

LRESULT FindByText(HWND window, const ListMessages& m, const char16_t* text) {
  LRESULT count = SendMessageW(window, m.count, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char16_t* item = ItemText(window, m, i);
    bool equal = item && TextCompare(item, text) == 0;
    MemFree(item);
    if (equal) return i;
  }
  return kNoItem;
}

// Selects the item of `text` (a value of the list, else an item's exact text); returns whether one was.
bool Show(ControlInstance* instance, const char16_t* text) {
  const ListMessages& m = MessagesOf(instance);
  HWND window = instance->window;
  LRESULT index = kNoItem;
  const TextList* values = Values(instance);
  for (uint32_t i = 0; i < values->count && index == kNoItem; ++i)
    if (values->items[i] && TextEqualNoCase(values->items[i], text)) index = FindByData(window, m, LRESULT(i));
  if (index == kNoItem) index = FindByText(window, m, text);
  SendMessageW(window, m.set_selection, WPARAM(index), 0);
  if (index == kNoItem && m.text_edited) SetWindowTextW(window, reinterpret_cast<const wchar_t*>(text));
  return index != kNoItem;
}

void SetFromText(ControlInstance* instance, void*, SetupObject*, const char16_t* text) { Show(instance, text ? text : u""); }

void TextEdited(ControlInstance* instance) {
  char16_t* text = WindowTextCopy(instance->window);
  ControlWriteVariable(instance, text, kEventTextChanged);
  MemFree(text);
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
  const ListMessages& m = MessagesOf(instance);
  const auto* text = reinterpret_cast<const char16_t*>(lParam);
  switch (message) {
    case kControlRecordMessage:
      Fill(instance, reinterpret_cast<const ControlRecordView*>(lParam));
      return 0;
    case kReflectedCommand:
      if (HIWORD(wParam) == m.selection_changed) SelectionChanged(instance);
      else if (m.text_edited && HIWORD(wParam) == m.text_edited) TextEdited(instance);
      else return 0;
      *result = 0;
      return 1;
    case kControlSetValueMessage:
      if (text && Show(instance, text)) SelectionChanged(instance);
      *result = 0;
      return 1;
    case kControlAddItemMessage:
      if (text) AddItem(instance->window, m, text, -1);
      *result = 0;
      return 1;
  }
  return 0;
}

}  // namespace

const ControlMethods kComboBoxMethods = {
    Handler,      // handler
    SetFromText,  // set-from-text
};

const ControlMethods kListBoxMethods = {
    Handler,      // handler
    SetFromText,  // set-from-text
};
