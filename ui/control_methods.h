// The control method tables of the control classes (one file per class family), and the helpers
// they share.
#pragma once
#include <cstdint>

#include "database/class_descriptor.h"

extern const ControlMethods kPushButtonMethods;  // c002
extern const ControlMethods kCheckBoxMethods;    // c003
extern const ControlMethods kStaticTextMethods;  // c010

// Display kinds of static texts (c010, slot 14).
enum : int32_t {
  kDisplayText = 0,
  kDisplaySize = 1,     // a byte count shown as kilobytes, rounded up, with text 78 (" KB")
  kDisplayPercent = 2,  // thousandths shown as percent, rounded up; nothing when negative
};

// What a static text of `kind` shows for `text` (the suffix of sizes in `language`).
char16_t* StaticDisplayText(int32_t kind, const char16_t* text, uint16_t language, char16_t* start, char16_t* end);

// Registers every control class's table with the class registry.
void ControlClassesRegister();
