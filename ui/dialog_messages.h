// The private window messages between the dialog engine, its controls, the actions and the main
// window, the dialog events and their record.
#pragma once
#include <windows.h>

#include <cstdint>

enum : UINT {
  kDialogEventMessage = 0x8000,     // control or dialog → dialog: lParam a DialogEvent*; result the sequence's
  kControlInitMessage = 0x8040,     // dialog → control: initialise (button images)
  kControlRecordMessage = 0x8041,   // dialog → control: lParam its ControlRecordView*
  kControlBindMessage = 0x8042,     // dialog → all controls: bind to variables and options
  kControlValidateMessage = 0x8043, // dialog → all controls: 0 refuses
  kControlSetValueMessage = 0x8080, // action → control: lParam a text
  kControlAddItemMessage = 0x8081,  // action → control: lParam a text (class-specific)
  kDialogCloseMessage = 0x8082,     // → dialog: wParam the closing button id
  kControlVerbMessage = 0x8083,     // action → control: lParam a text (class-specific)
  // 0x80C4 option logic → controls: kOptionChangedMessage of expr/option_states.h
  kReflectBase = 0x6000,            // a command or notification reflected to its control: 0x6000 + message
  kReflectedCommand = kReflectBase + WM_COMMAND,  // 0x6111
  kReflectedNotify = kReflectBase + WM_NOTIFY,    // 0x604E
};

// Low 16 bits of an event key; the high 16 bits are the control id (0: the dialog itself).
enum : uint16_t {
  kEventInitialised = 1,
  kEventShown = 2,
  kEventHidden = 3,
  kEventClicked = 4,
  kEventTextChanged = 5,       // value 1 the variable's name, value 2 the new text
  kEventSelectionChanged = 6,
  kEventValueChanged = 7,      // value 1 the variable's (or option's) name, value 2 the new value
};

constexpr uint32_t DialogEventKey(uint32_t control_id, uint16_t code) { return (control_id << 16) | code; }

struct DialogEvent {
  uint32_t key;      // (control id << 16) | event code
  HWND sender;
  HWND dialog;
  intptr_t value1;
  intptr_t value2;
};

// The result of an event that no sequence handled, and of a reflected message the control did not
// handle.
constexpr LRESULT kNotHandled = -1;
// What a closing button returns when a control refused validation: the dialog stays open.
constexpr LRESULT kValidationRefused = -3;
