// The dialog actions:
//   a201 Run a dialog (modal or modeless)   a202 End a dialog   a203 Window state of a dialog or control
// and their registration with the class registry.
#pragma once
#include <cstdint>

// Registers the method tables above (after the class table is registered).
void DialogActionsRegister();

// a201 options.
constexpr uint32_t kRunDialogModal = 0x1;

// a203 operations.
enum : int32_t {
  kWindowShow = 0,         // ShowWindow(value)
  kWindowEnable = 1,       // EnableWindow(value)
  kWindowReadOnly = 2,     // EM_SETREADONLY(value)
  kWindowClick = 3,        // BM_CLICK
  kWindowAddItem = 4,      // 0x8081 with the text
  kWindowSetValue = 5,     // 0x8080 with the text
  kWindowSetText = 6,      // the window text
  kWindowVerb = 7,         // 0x8083 with the text
  kWindowFocus = 8,        // the focus, with all text selected when the control takes selections
  kWindowStyleBit = 9,     // style bit 0x8 by value, then message 0x40A with value
};
