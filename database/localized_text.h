// Localized texts (field type 14): a default text and pairs of (text, language key), the key's low
// 16 bits a Windows language id. Every text that the user sees is one.
#pragma once
#include <cstdint>

#include "database/setup_object.h"

// The text for a language: the text of the first pair whose key's low 16 bits equal the language
// id; failing that, the text of the last pair with the same primary language (low 10 bits);
// failing that, the default text. Never null: a field that holds no text yields "".
const char16_t* LocalizedTextFor(const LocalizedText* text, uint16_t language);

// Keeps only the text that LocalizedTextFor would return, as the default; frees every other text
// and the pairs and sets the count to 0.
void LocalizedTextReduce(LocalizedText* text, uint16_t language);

void LocalizedTextSwap(LocalizedText* a, LocalizedText* b);

// Frees the default, every pair's text and the pairs (heap blocks; arena memory stays with its
// table); the field holds nothing afterwards.
void LocalizedTextFree(LocalizedText* text);

// Grows the pair array to `count` pairs; new pairs have no text and key 0. A smaller count does
// nothing. Pairs that a load read into its table's arena are copied into a heap block first.
void LocalizedTextGrow(LocalizedText* text, uint32_t count);
