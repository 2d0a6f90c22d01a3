// Optional system functions resolved by name at run time.
#pragma once
#include <windows.h>

// The function `name` of `module` as the pointer type T, or null when the module or the function is
// missing.
template <typename T>
T ProcAddress(HMODULE module, const char* name) {
  return module ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
