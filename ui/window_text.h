// Window texts with <Name> references.
#pragma once
#include <windows.h>

struct ObjectTable;

// The window's text (heap block, MemFree; an empty text when it has none).
char16_t* WindowTextCopy(HWND window);
// Replaces the window's text by its substitution when it holds a reference ("<").
void WindowSubstituteText(ObjectTable* database, HWND window);
// A heap copy (MemFree) of `text` substituted with the database's variables.
char16_t* SubstitutedCopy(ObjectTable* database, const char16_t* text);
