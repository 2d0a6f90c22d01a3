// The runtime's own message box, which works without a setup session (the setup's messages go
// through QelShowMessageBoxV instead). The title is the executable's base name.
#pragma once
#include <windows.h>

#include <cstdarg>
#include <cstdint>

// Shows the format text unformatted.
constexpr uint32_t kRuntimeBoxUnformatted = 0x10000000;

// Formats `format` with the arguments (at most 1,024 characters) unless kRuntimeBoxUnformatted is
// set, and shows it. Without an interactive desktop the box is a service notification without
// owner; otherwise the owner is the last active pop-up of `owner` (or of the active window).
// `flags` reach the system unchanged. Returns the system's result, or -1 without a text.
int RuntimeMessageBox(HWND owner, uint32_t flags, const char16_t* format, ...);
int RuntimeMessageBoxV(HWND owner, uint32_t flags, const char16_t* format, va_list args);
