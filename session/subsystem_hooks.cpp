#include "session/subsystem_hooks.h"

namespace {
SubsystemHooks g_hooks;
}

SubsystemHooks* Hooks() { return &g_hooks; }

int32_t ExtensionSendEvent(uint32_t code, uint32_t argument) {
  return g_hooks.extension.send_event ? g_hooks.extension.send_event(code, argument) : 0;
}
