// The rich-text box QELRTF: the best rich-edit control the system offers (RICHEDIT50W of
// msftedit.dll, RichEdit20W of riched20.dll, RICHEDIT of riched32.dll), registered again under the
// program's own class name with a procedure that forwards every message to the system class.
#pragma once
#include <windows.h>

#include <cstdint>

constexpr wchar_t kRichTextClass[] = L"QELRTF";
// The resource id of a box created with the text "#<id>" (a window property); the box shows that
// rich-text resource instead of the text.
constexpr wchar_t kRichTextIdProperty[] = L"QelRichTextId";

// Loads the first library that provides its class and registers QELRTF; false (E record) when no
// library does.
bool RichTextRegisterClass();
void RichTextUnregisterClass();
// The system class QELRTF forwards to ("" before registration).
const wchar_t* RichTextSystemClass();
// The resource id the box was created with ("#<id>"), or 0.
uint32_t RichTextCreationId(HWND window);
