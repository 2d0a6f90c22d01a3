// The stack of modeless dialogs: up to 16 windows, the last one being the active dialog that the
// message pump offers each message to first.
#pragma once
#include <cstdint>

constexpr uint32_t kModelessCapacity = 16;

struct ModelessStack {
  void* windows[kModelessCapacity];
  uint32_t count;
};

// Pushing a window already in the stack moves it to the top; a seventeenth window is ignored.
void ModelessStackPush(ModelessStack* stack, void* window);
// Removes the window wherever it is; the entries above it move down.
void ModelessStackRemove(ModelessStack* stack, void* window);
// The top window, or null.
void* ModelessStackTop(const ModelessStack* stack);
