// The content of a rich-text box (QELRTF): rich text when it starts with "{\rtf1" or "{\urtf1",
// plain text otherwise, from the program's rich-text resources (type 66), from a file or from a
// text. Loading replaces the whole content; the box is writable for the load and read-only after it.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Whether `size` bytes at `data` are rich text (at least 7 bytes starting with "{\rtf1" or "{\urtf1").
bool RichTextIsRtf(const uint8_t* data, size_t size);

// Loads `size` bytes: rich text as they are; plain text decoded from UTF-16 (with its byte-order
// mark), UTF-8 (with or without one) or else the ANSI code page.
void RichTextLoadBytes(HWND window, const uint8_t* data, size_t size);
// Loads rich-text resource `id`; an empty box when there is none.
void RichTextLoadResource(HWND window, uint32_t id);
// Loads the file at `text` when it names one (true), else nothing (false).
bool RichTextLoadFile(HWND window, const char16_t* path);
// Loads a text: rich text when it starts as rich text does, else plain text.
void RichTextLoadText(HWND window, const char16_t* text);
// Writes the box's whole content as rich text to `file`; false when a write failed.
bool RichTextSaveRtf(HWND window, HANDLE file);

// The resource id of a window text "#<decimal>", or 0.
uint32_t RichTextResourceId(const char16_t* window_text);
