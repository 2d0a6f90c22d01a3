// The current run's main window and user-interface language, for the code that shows something:
// null and 0 while no run is current (unit tests) or before the window exists or a language is
// chosen.
#pragma once
#include <windows.h>

#include <cstdint>

#include "session/session_state.h"

inline HWND SessionMainWindow() {
  const SessionState* s = SessionCurrent();
  return s ? static_cast<HWND>(s->main_window) : nullptr;
}

inline uint16_t SessionLanguage() {
  const SessionState* s = SessionCurrent();
  return s ? s->ui_language : 0;
}
