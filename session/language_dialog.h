// The language dialog (template 2): the prompt "&Please select the installation language from the
// following list:" (text 487), the list of the languages' names with the fallback selected, and OK.
#pragma once
#include <cstdint>

#include "database/setup_object.h"

// Returns the index of the language chosen with OK or a double click; `fallback` when the dialog
// is closed otherwise or cannot be shown.
uint32_t LanguageDialogAsk(SetupObject* const* languages, uint32_t count, uint32_t fallback);
