#include "database/class_registry.h"
#include "ui/control_methods.h"

void ControlClassesRegister() {
  ClassSetControlMethods(TagOf("c002"), &kPushButtonMethods);
  ClassSetControlMethods(TagOf("c003"), &kCheckBoxMethods);
  ClassSetControlMethods(TagOf("c004"), &kEditBoxMethods);
  ClassSetControlMethods(TagOf("c005"), &kComboBoxMethods);
  ClassSetControlMethods(TagOf("c006"), &kListBoxMethods);
  ClassSetControlMethods(TagOf("c008"), &kOptionTreeMethods);
  ClassSetControlMethods(TagOf("c009"), &kRadioButtonMethods);
  ClassSetControlMethods(TagOf("c010"), &kStaticTextMethods);
  ClassSetControlMethods(TagOf("c012"), &kIconPictureMethods);
  ClassSetControlMethods(TagOf("c014"), &kColourPanelMethods);
  ClassSetControlMethods(TagOf("c015"), &kLinkTextMethods);
  ClassSetControlMethods(TagOf("c016"), &kRichTextMethods);
  ClassSetControlMethods(TagOf("c017"), &kProgressBarMethods);
}
