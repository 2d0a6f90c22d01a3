// The setup's message box. Every message of a run goes through QelShowMessageBoxV: the text comes
// from the string table (an id below 0x10000) or is given, is formatted and optionally
// substituted; in quiet mode nothing is shown and the default result is returned; a shown box is
// centred over its owner, has localised button captions and ends itself with the default result
// after the time-out. Each call writes I0013 with the final text, the flags and the result.
#pragma once
#include <windows.h>

#include <cstdarg>
#include <cstdint>

// Private flags, removed before the system sees the style.
constexpr uint32_t kMessageSubstitute = 0x10000000;   // substitute <Name> references in the final text
constexpr uint32_t kMessageUnformatted = 0x20000000;  // use the text without printf-style formatting

constexpr uint32_t kMessageTextCapacity = 4096;
constexpr UINT_PTR kMessageTimerId = 0xDEAD;

// A string-table id passed where a text is expected.
inline const char16_t* MessageTextId(uint32_t id) {
  return reinterpret_cast<const char16_t*>(static_cast<uintptr_t>(id));
}

// Substitutes <Name> references of `text` into [start, end] (installed by the expressions subsystem;
// without it the text stays as it is).
using MessageSubstituteHook = void (*)(const char16_t* text, char16_t* start, char16_t* end);
void MessageBoxSetSubstituteHook(MessageSubstituteHook hook);

// owner: null for the active modeless dialog, else the main window. flags: MB_* style bits plus the
// private flags. default_result: returned in quiet mode and when `timeout_ms` (0: none) expires.
// text: a string-table id (MessageTextId) or a text. Returns the system's result (0 when the box
// could not be created) or the default result.
int QelShowMessageBoxV(HWND owner, uint32_t flags, int default_result, uint32_t timeout_ms, const char16_t* text,
                       va_list args);
int QelShowMessageBox(HWND owner, uint32_t flags, int default_result, uint32_t timeout_ms, const char16_t* text, ...);

// Gives every button of `window` with an id from 1 to 11 the caption 63 + id of the string table in
// `language` (when that text is not empty); with an MB_OK `style` the button with id 2 gets the
// caption of id 1. The standard dialogs localise their buttons the same way.
void MessageButtonsLocalise(HWND window, uint32_t style, uint16_t language);
