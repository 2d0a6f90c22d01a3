// The control method tables of the control classes (one file per class family), and the helpers
// they share.
#pragma once
#include <windows.h>

#include <cstdint>

#include "database/class_descriptor.h"

extern const ControlMethods kPushButtonMethods;   // c002
extern const ControlMethods kCheckBoxMethods;     // c003
extern const ControlMethods kEditBoxMethods;      // c004
extern const ControlMethods kComboBoxMethods;     // c005
extern const ControlMethods kListBoxMethods;      // c006
extern const ControlMethods kOptionTreeMethods;   // c008
extern const ControlMethods kRadioButtonMethods;  // c009
extern const ControlMethods kStaticTextMethods;   // c010
extern const ControlMethods kIconPictureMethods;  // c012
extern const ControlMethods kColourPanelMethods;  // c014
extern const ControlMethods kLinkTextMethods;     // c015
extern const ControlMethods kRichTextMethods;     // c016
extern const ControlMethods kProgressBarMethods;  // c017

// Requests of option controls to the option logic (OptionSetState).
enum : int32_t {
  kOptionRequestDeselect = 3,  // state 2
  kOptionRequestSelect = 4,    // state 3
  kOptionRequestToggle = 6,    // between 2 and 3
  kOptionRequestKeep = 7,      // no change
};

// Check boxes and radio buttons bound to an option (control slot 14). Bind looks the option up,
// shows its state and listens for option changes (false: no option, the control works with its
// variable). The state display: 0, 1 and 5 or more disabled and unchecked, 2 enabled and unchecked,
// 3 enabled and checked, 4 disabled and checked. Request asks the option logic for the state of a
// check (checked 4, unchecked 3, indeterminate 7) and shows the option's state afterwards.
bool ControlBindOption(ControlInstance* instance);
void ControlReleaseOption(ControlInstance* instance);
void ControlShowOptionState(HWND window, int32_t state);
void ControlRequestOption(ControlInstance* instance, LRESULT check);
// The binding's own messages (bind, option changed, destroy) for the handlers of these controls:
// true when `message` is one of them, with *handled the value the handler returns.
bool ControlOptionMessage(ControlInstance* instance, uint32_t message, intptr_t* result, int* handled);

// Display kinds of static texts (c010, slot 14).
enum : int32_t {
  kDisplayText = 0,
  kDisplaySize = 1,     // a byte count shown as kilobytes, rounded up, with text 78 (" KB")
  kDisplayPercent = 2,  // thousandths shown as percent, rounded up; nothing when negative
};

// What a static text of `kind` shows for `text` (the suffix of sizes in `language`).
char16_t* StaticDisplayText(int32_t kind, const char16_t* text, uint16_t language, char16_t* start, char16_t* end);

// The image list option trees show (the run's shared small icons, an HIMAGELIST).
void OptionTreeSetImages(void* image_list);

// Registers every control class's table with the class registry.
void ControlClassesRegister();
