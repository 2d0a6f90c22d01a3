// The linking pass that runs after every load, and Load (read + link).
#pragma once
#include <cstdint>

#include "database/object_table.h"
#include "runtime/buffered_file.h"

// What linking asks of the system.
struct LinkHooks {
  // Whether the language id is an installed locale (IsValidLocale on Windows). Null: every
  // language is accepted.
  bool (*locale_installed)(uint16_t language);
  // The process is a 32-bit process on 64-bit Windows: variables flagged with bit 0 of slot 9 take
  // their second value.
  bool wow64;
};

// Links a freshly read table. Each object is treated by its own class tag, objects in id order:
//   fldr  appended to the folder list; slot 22 gets the folder whose id is in slots 16-17 (when nonzero)
//   file  appended to the file list; slot 46 gets the folder whose id is in slots 16-17
//   shct  slot 35 gets the folder whose id is in slots 16-17
//   regk  appended to the registry-key list;  fsta  appended to the file journal
//   lang  bit 0 of slot 9 set and appended to the language list when the language id in the low 16
//         bits of slot 8 is an installed locale, otherwise bit 0 cleared and left out
//   symb  appended to the variable list; with hooks->wow64 and bit 0 of slot 9 set, the localized
//         texts of slots 10 and 13 are exchanged; then slot 13's text is freed and bit 0 cleared
//   inst  becomes the installation record; the ids in slots 23-24 that name options (cmp9 or a
//         descendant) become the option list, in order
//   cmp9, asm9  the ids in slots 18-19 that name options become the pointer list in slots 34-36;
//         each child found gets this option in slot 37
//   pres  the ids in slots 8-9 that name preh objects become the pointer list in slots 10-12
// An id that names no object, or one of another class, is left out. Then the variable list is
// sorted by name (slot 16) and the file list by slot 29, both ignoring ASCII case, and every
// variable is traced as D0001 with its name and value ("*HIDDEN*" for a non-empty value whose
// variable has bit 4 of slot 9 set). Linking again rebuilds the lists.
void DatabaseLink(ObjectTable* table, const LinkHooks* hooks);

// Read and link (DatabaseRead's results and errors).
uint32_t DatabaseLoad(BufferedFile* stream, uint32_t seed, const LinkHooks* hooks, ObjectTable** table);

// The hooks of this platform: on Windows IsValidLocale with LCID_INSTALLED and IsWow64Process;
// elsewhere every language accepted and no exchange.
LinkHooks DatabasePlatformLinkHooks();
