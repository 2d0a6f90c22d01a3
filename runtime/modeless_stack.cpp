#include "runtime/modeless_stack.h"

void ModelessStackRemove(ModelessStack* stack, void* window) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < stack->count; ++i)
    if (stack->windows[i] != window) stack->windows[kept++] = stack->windows[i];
  for (uint32_t i = kept; i < stack->count; ++i) stack->windows[i] = nullptr;
  stack->count = kept;
}

void ModelessStackPush(ModelessStack* stack, void* window) {
  if (!window) return;
  ModelessStackRemove(stack, window);
  if (stack->count < kModelessCapacity) stack->windows[stack->count++] = window;
}

void* ModelessStackTop(const ModelessStack* stack) {
  return stack->count ? stack->windows[stack->count - 1] : nullptr;
}
