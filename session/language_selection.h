// The choice of the user-interface language among the database's language objects (class lang:
// slot 8 the language id, slot 9 flags, slot 10 the name shown in the language dialog).
#pragma once
#include <cstdint>

#include "database/setup_object.h"

enum : unsigned {
  kLanguageId = 8,
  kLanguageFlags = 9,
  kLanguageName = 10,
};

enum : uint32_t {
  kLanguageValidLocale = 0x1,  // set at load when the system knows the locale
  kLanguageDefault = 0x2,      // the fallback when nothing else matches
  kLanguageForced = 0x4,       // chosen without looking further
  kLanguageChosen = 0x8,       // set on the chosen object
};

struct LanguageSelection {
  SetupObject* language;  // null when there is no language object
  bool decided;           // false: `language` is only the fallback, which the user may be asked about
};

// With no object nothing is chosen, with one it is chosen. Otherwise the first forced object, or an
// object whose id equals `request` exactly, is chosen at once; else the last object whose primary
// language (low 10 bits) equals the request's (not for primary language 26); else the fallback: the
// last object whose id equals `user_default`, or the first whose primary language equals the user
// default's (not 26), else the last object with the default bit (the first object when none has it).
LanguageSelection LanguageSelect(SetupObject* const* languages, uint32_t count, uint16_t request, uint16_t user_default);

// Arabic, Hebrew, Urdu, Farsi and Syriac read right to left.
bool LanguageIsRightToLeft(uint16_t language);
