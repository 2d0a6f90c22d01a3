#include "runtime/error_code.h"

#include "runtime/platform.h"

uint32_t KeepFirstError(uint32_t code) {
  uint32_t last = PlatformLastError();
  if (last) return last;
  PlatformSetLastError(code);
  return code;
}
