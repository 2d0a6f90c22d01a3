#include "ui/control_framework.h"

#include "database/class_registry.h"
#include "expr/database_resolver.h"
#include "expr/variables.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "ui/dialog_messages.h"
#include "ui/dialog_resources.h"
#include "ui/main_window.h"
#include "ui/window_text.h"

namespace {

constexpr wchar_t kInstanceProperty[] = L"QelControl";
constexpr wchar_t kRecordProperty[] = L"QelControlRecord";

// The controls whose enable condition is re-evaluated after variable changes.
struct ConditionList {
  HWND* windows;
  uint32_t count;
  uint32_t capacity;
};
ConditionList g_conditions;

void RegisterCondition(HWND window) {
  for (uint32_t i = 0; i < g_conditions.count; ++i)
    if (g_conditions.windows[i] == window) return;
  if (g_conditions.count == g_conditions.capacity) {
    auto capacity = uint32_t(MemGrowCapacity(g_conditions.capacity, g_conditions.count + 1, 0xFFFF));
    auto* grown = static_cast<HWND*>(MemRealloc(g_conditions.windows, capacity * sizeof(HWND)));
    if (!grown) return;
    g_conditions.windows = grown;
    g_conditions.capacity = capacity;
  }
  g_conditions.windows[g_conditions.count++] = window;
}

void UnregisterCondition(HWND window) {
  for (uint32_t i = 0; i < g_conditions.count; ++i) {
    if (g_conditions.windows[i] != window) continue;
    g_conditions.windows[i] = g_conditions.windows[--g_conditions.count];
    if (g_conditions.count == 0) {
      MemFree(g_conditions.windows);
      g_conditions = ConditionList{};
    }
    return;
  }
}

void ApplyCondition(ControlInstance* instance) {
  const char16_t* condition = SlotText(instance->control, kControlCondition);
  if (!condition || !*condition) return;
  char16_t label[32];
  TextFormat(label, label + 31, u"control %u", SlotU32(instance->control, kControlId));
  bool enabled = EvaluateCondition(instance->database, condition, label) != 0;
  if (SendMessageW(instance->window, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
    SendMessageW(instance->window, EM_SETREADONLY, !enabled, 0);
  else
    EnableWindow(instance->window, enabled);
}

// Binds to the variable named by the name variable's current value.
void BindNamedVariable(ControlInstance* instance) {
  char16_t* name = SubstitutedCopy(instance->database, VariableRawValue(instance->name_variable));
  instance->variable = VariableFind(instance->database, name);
  MemFree(name);
}

void Bind(ControlInstance* instance) {
  const char16_t* condition = SlotText(instance->control, kControlCondition);
  if (condition && *condition) {
    ApplyCondition(instance);
    RegisterCondition(instance->window);
  }
  const char16_t* name = SlotText(instance->control, kControlVariable);
  if (!name || !*name) return;
  if (SlotU32(instance->control, kControlFlags) & kControlFlagIndirect) {
    instance->name_variable = VariableFind(instance->database, name);
    if (!instance->name_variable) return;
    VariableListen(instance->name_variable, instance->window);
    BindNamedVariable(instance);
  } else {
    instance->variable = VariableFind(instance->database, name);
  }
  if (!instance->variable) return;
  VariableListen(instance->variable, instance->window);
  char16_t* text = ControlVariableText(instance);
  ControlShowText(instance, text);
  MemFree(text);
}

void VariableChanged(ControlInstance* instance, SetupObject* variable, const char16_t* text) {
  if (variable && variable == instance->name_variable) {
    if (instance->variable) VariableUnlisten(instance->variable, instance->window);
    BindNamedVariable(instance);
    if (!instance->variable) return;
    VariableListen(instance->variable, instance->window);
    char16_t* shown = ControlVariableText(instance);
    if (!instance->reentry) ControlShowText(instance, shown);
    MemFree(shown);
  } else if (variable && variable == instance->variable && !instance->reentry) {
    ControlShowText(instance, text ? text : u"");
  }
}

void Detach(ControlInstance* instance) {
  HWND window = instance->window;
  if (instance->name_variable) VariableUnlisten(instance->name_variable, window);
  if (instance->variable) VariableUnlisten(instance->variable, window);
  UnregisterCondition(window);
  if (instance->bitmap) DeleteObject(instance->bitmap);
  if (instance->icon) DestroyIcon(instance->icon);
  SetSlotPointer(instance->control, kControlWindow, nullptr);
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(instance->previous));
  RemovePropW(window, kInstanceProperty);
  RemovePropW(window, kRecordProperty);
  MemFree(instance);
}

LRESULT CALLBACK FrameworkProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ControlInstance* instance = ControlInstanceOf(window);
  if (!instance) return DefWindowProcW(window, message, wParam, lParam);
  WNDPROC previous = instance->previous;
  intptr_t result = 0;
  bool handled = instance->methods->handler &&
                 instance->methods->handler(instance, window, message, wParam, lParam, &result);
  if (message == WM_NCDESTROY) {
    Detach(instance);
    return CallWindowProcW(previous, window, message, wParam, lParam);
  }
  if (handled) return result;
  switch (message) {
    case kControlBindMessage:
      Bind(instance);
      return 0;
    case kVariableChangedMessage:
      VariableChanged(instance, reinterpret_cast<SetupObject*>(wParam), reinterpret_cast<const char16_t*>(lParam));
      return 0;
    case kConditionRefresh:
      ApplyCondition(instance);
      return 0;
    case kControlValidateMessage:
      return 1;
    case kReflectedCommand:
    case kReflectedNotify:
      return kNotHandled;
    case WM_SHOWWINDOW:
      ControlSendEvent(instance, wParam ? kEventShown : kEventHidden, 0, 0);
      break;
  }
  return CallWindowProcW(previous, window, message, wParam, lParam);
}

struct ForEachWalk {
  bool (*visit)(HWND control, void* context);
  void* context;
  HWND stopped;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM argument) {
  auto* walk = reinterpret_cast<ForEachWalk*>(argument);
  if (!ControlInstanceOf(child) || walk->visit(child, walk->context)) return TRUE;
  walk->stopped = child;
  return FALSE;
}

}  // namespace

bool ControlBind(ObjectTable* database, SetupObject* control, HWND window) {
  const ControlMethods* methods = ClassControlMethods(ObjectClass(control));
  if (!methods || ControlInstanceOf(window)) return false;
  auto* instance = MemNew<ControlInstance>();
  instance->tag = ObjectClass(control)->tag;
  instance->database = database;
  instance->control = control;
  instance->window = window;
  instance->methods = methods;
  SetPropW(window, kInstanceProperty, instance);
  SetSlotPointer(control, kControlWindow, window);
  if (SlotU32(control, kControlFlags) & kControlFlagNoTheme) DialogDisableTheme(window);
  instance->previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkProcedure)));
  SendMessageW(window, kControlInitMessage, 0, 0);
  return true;
}

ControlInstance* ControlInstanceOf(HWND window) {
  return static_cast<ControlInstance*>(GetPropW(window, kInstanceProperty));
}

const ControlRecordView* ControlRecordOf(HWND window) {
  return static_cast<const ControlRecordView*>(GetPropW(window, kRecordProperty));
}

void ControlAttachRecord(HWND window, const ControlRecordView* record) {
  SetPropW(window, kRecordProperty, const_cast<ControlRecordView*>(record));
}

void ControlDetachRecord(HWND window) { RemovePropW(window, kRecordProperty); }

LRESULT ControlSendEvent(ControlInstance* instance, uint16_t code, intptr_t value1, intptr_t value2) {
  HWND dialog = GetParent(instance->window);
  DialogEvent event{DialogEventKey(SlotU32(instance->control, kControlId), code), instance->window, dialog, value1,
                    value2};
  return dialog ? SendMessageW(dialog, kDialogEventMessage, 0, reinterpret_cast<LPARAM>(&event)) : kNotHandled;
}

bool ControlWriteVariable(ControlInstance* instance, const char16_t* text, uint16_t event) {
  SetupObject* variable = instance->variable;
  if (!variable) return false;
  bool changed = TextCompare(VariableRawValue(variable), text) != 0;
  ++instance->reentry;
  VariableSetObject(instance->database, variable, text);
  --instance->reentry;
  if (changed && event)
    ControlSendEvent(instance, event, reinterpret_cast<intptr_t>(VariableName(variable)),
                     reinterpret_cast<intptr_t>(text));
  return changed;
}

char16_t* ControlVariableText(ControlInstance* instance) {
  if (!instance->variable) return MemNew<char16_t>(1);
  auto* buffer = MemNew<char16_t>(kSubstituteBufferCapacity);
  VariableValueOf(instance->database, instance->variable, buffer, buffer + kSubstituteBufferCapacity - 1);
  return buffer;
}

void ControlShowText(ControlInstance* instance, const char16_t* text) {
  if (!instance->methods->set_from_text) return;
  ++instance->reentry;
  instance->methods->set_from_text(instance, instance->window, instance->variable, text);
  --instance->reentry;
}

void ControlRefreshConditions() {
  uint32_t count = g_conditions.count;
  if (!count) return;
  auto* windows = MemNew<HWND>(count);
  for (uint32_t i = 0; i < count; ++i) windows[i] = g_conditions.windows[i];
  for (uint32_t i = 0; i < count; ++i)
    if (IsWindow(windows[i])) SendMessageW(windows[i], kConditionRefresh, 0, 0);
  MemFree(windows);
}

HWND ControlForEach(HWND parent, bool (*visit)(HWND control, void* context), void* context) {
  ForEachWalk walk{visit, context, nullptr};
  EnumChildWindows(parent, VisitChild, reinterpret_cast<LPARAM>(&walk));
  return walk.stopped;
}
