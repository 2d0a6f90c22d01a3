// Truth values and comparisons of condition operands, both taken as texts.
#pragma once
#include <cstdint>

// False for the empty text; a version text (two or more digit groups) is true when any of its parts
// is non-zero; an integer literal when it is non-zero; any other text is true.
bool TextTruth(const char16_t* text);

// Compares `a` with `b` by operator code (tokenizer.h): with `no_case` as strings ignoring ASCII
// case; otherwise as versions when either looks like one (codes 6-8 false), as signed 64-bit
// numbers when either is an integer literal (>< any common bit, << bits 16-31 of a equal b, >> bits
// 0-15 of a equal b), else as strings of 16-bit characters (>< contains, << starts with, >> ends
// with; an empty b is contained in anything).
bool CompareTexts(const char16_t* a, const char16_t* b, uint8_t op, bool no_case);
