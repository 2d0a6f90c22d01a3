#include "install/shortcut_target.h"

#include <cstddef>

bool ShortcutTargetIsAddress(const char16_t* target) {
  for (size_t i = 0; target[i]; ++i)
    if (target[i] == u':') return i >= 2;
  return false;
}
