// The control framework (class c000): a control object of the database attached to one control
// window of a dialog. It binds the window to a variable (two-way, optionally through a variable that
// names it), gives it an enable condition and turns its input into dialog events. Each control class
// adds its behaviour through its control method table (handler, set-from-text), registered with
// ClassSetControlMethods; the framework's window procedure handles what the class leaves.
#pragma once
#include <windows.h>

#include <cstdint>

#include "database/class_descriptor.h"
#include "database/object_table.h"
#include "ui/control_records.h"

// Control object slots (c000).
enum : unsigned {
  kControlId = 8,         // u32: the control's id in the template
  kControlFlags = 9,      // u32: kControlFlag*
  kControlVariable = 10,  // text: the bound variable's name
  kControlCondition = 11, // text: the enable condition
  kControlWindow = 12,    // run time: the control's window while the dialog is open
  kControlOwnField = 14,  // the first field of a class of its own
};

enum : uint32_t {
  kControlFlagIndirect = 0x1,   // the named variable holds the name of the variable to bind to
  kControlFlagRequired = 0x2,   // edit boxes refuse an empty value
  kControlFlagNoTheme = 0x4,
  kControlFlagShield = 0x8,     // push buttons show the elevation shield
  kControlFlagEndless = 0x10,   // progress bars run in marquee mode
};

// One bound control window, attached to it as a window property.
struct ControlInstance {
  uint32_t tag;
  ObjectTable* database;
  SetupObject* control;
  SetupObject* name_variable;   // indirect binding: the variable that names the bound one
  SetupObject* variable;        // the bound variable
  HBITMAP bitmap;
  HICON icon;
  int32_t reentry;              // raised while the control causes changes itself
  HWND window;
  WNDPROC previous;             // the window procedure before the framework's
  const ControlMethods* methods;
  SetupObject* option;          // check boxes and radio buttons bound to an option
};

// Attaches `control` to `window`: creates the instance, stores the window in the control object,
// switches visual styles off when its flags ask, subclasses the window and sends 0x8040. False
// (nothing attached) when the object's class has no control methods.
bool ControlBind(ObjectTable* database, SetupObject* control, HWND window);

// The instance of a bound window, or null.
ControlInstance* ControlInstanceOf(HWND window);
// The control record given to the window at dialog initialisation, or null.
const ControlRecordView* ControlRecordOf(HWND window);
void ControlAttachRecord(HWND window, const ControlRecordView* record);
void ControlDetachRecord(HWND window);

// Sends the control's dialog the event `code`; returns the event's result (-1 when no sequence
// handled it).
LRESULT ControlSendEvent(ControlInstance* instance, uint16_t code, intptr_t value1, intptr_t value2);
// Writes `text` into the bound variable with the re-entry counter raised; when the value really
// changed, sends `event` (0: none) with the variable's name and the new text. Returns whether it
// changed.
bool ControlWriteVariable(ControlInstance* instance, const char16_t* text, uint16_t event);
// The bound variable's current value, substituted (heap block, MemFree; empty without a variable).
char16_t* ControlVariableText(ControlInstance* instance);
// Passes `text` to the class's set-from-text with the re-entry counter raised.
void ControlShowText(ControlInstance* instance, const char16_t* text);

// Every control registered for enable-condition re-evaluation receives 0x80C3.
void ControlRefreshConditions();

// Walks the window's descendants that are bound controls, in creation order; stops when `visit`
// returns false and returns that control's window (null when every control was visited).
HWND ControlForEach(HWND parent, bool (*visit)(HWND control, void* context), void* context);
