#include "database/class_registry.h"
#include "ui/control_methods.h"

void ControlClassesRegister() {
  ClassSetControlMethods(TagOf("c002"), &kPushButtonMethods);
  ClassSetControlMethods(TagOf("c003"), &kCheckBoxMethods);
  ClassSetControlMethods(TagOf("c010"), &kStaticTextMethods);
}
