// Bounded UTF-16 text buffers. A buffer is passed as a start pointer and an end pointer, the end
// being the last usable character (the one that can still hold the terminating NUL). Every copy,
// append and format writes at most up to the end, always terminates the text and returns the
// pointer to the terminating NUL, so calls chain. A start beyond the end is returned unchanged and
// nothing is written.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

size_t TextLength(const char16_t* text);

char16_t* TextCopy(char16_t* start, char16_t* end, const char16_t* source);
char16_t* TextCopyN(char16_t* start, char16_t* end, const char16_t* source, size_t count);
// Appends after the text already in the buffer.
char16_t* TextAppend(char16_t* start, char16_t* end, const char16_t* source);

// printf-style formatting with the conventions of the Windows wide formatters:
//   %s and %ls a UTF-16 text, %hs and %S an 8-bit text (UTF-8), %c a UTF-16 character;
//   d i u o x X with h (16 bits), l (32 bits, as on Windows), ll and I64 (64 bits),
//   I (pointer size), z (size_t); %p a pointer as upper-case hexadecimal of pointer width;
//   flags - + space # 0, width and precision (also *).
char16_t* TextFormat(char16_t* start, char16_t* end, const char16_t* format, ...);
char16_t* TextFormatV(char16_t* start, char16_t* end, const char16_t* format, va_list args);

// ASCII-only case folding: A-Z and a-z, nothing else.
inline char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
inline char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
int TextCompareNoCase(const char16_t* a, const char16_t* b);
int TextCompareNoCaseN(const char16_t* a, const char16_t* b, size_t count);
inline bool TextEqualNoCase(const char16_t* a, const char16_t* b) { return TextCompareNoCase(a, b) == 0; }
int TextCompare(const char16_t* a, const char16_t* b);

inline bool IsBlank(char16_t c) { return c == u' ' || (c >= 9 && c <= 13); }

// UTF-8 and UTF-16 conversions for host tools, paths and the log. Unpaired surrogates are
// written as three-byte sequences; invalid UTF-8 bytes decode as U+FFFD.
std::string TextToUtf8(const char16_t* text, size_t length);
inline std::string TextToUtf8(const char16_t* text) { return TextToUtf8(text, TextLength(text)); }
inline std::string TextToUtf8(const std::u16string& text) { return TextToUtf8(text.data(), text.size()); }
std::u16string TextFromUtf8(const char* text, size_t length);
inline std::u16string TextFromUtf8(const std::string& text) { return TextFromUtf8(text.data(), text.size()); }
