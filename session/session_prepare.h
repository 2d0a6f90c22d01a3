// Preparing the session with the loaded database: the second single-instance claim, the
// command-line adjustments, the account, the system variables, the command line's variable
// assignments, the session temporary folder, the product-folder files, the extension library, the
// user-interface language, the title, the option states and, for a fresh installation, the runtime
// copy and the support files.
#pragma once
#include <cstdint>

struct SessionState;
struct ObjectTable;

// Returns true on success. A failure deletes the run's temporary files, shows "Setup
// initialization error" (text 483) and records exit code 2 (20 for another instance).
bool PrepareSession(SessionState* session);

// The user-interface language (exposed for tests): LanguageSelect, then the language dialog unless
// the installation record's flag 4, an l: request or a quiet run takes the fallback; then the
// chosen bit, the language, the right-to-left flag, the thousands separator and variable 532.
void ChooseLanguage(SessionState* session, ObjectTable* database);

// The values of the session's variables of the command line and the run (exposed for tests).
void InitializeSystemVariables(SessionState* session, ObjectTable* database);
