// The entry of Setup.exe.
#include <windows.h>

#include "runtime/modules.h"
#include "session/runtime_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int) {
  static ModuleRecord program{instance, nullptr};
  ModuleRegister(&program);
  int result = RuntimeMain(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  ModuleUnregister(&program);
  return result;
}
