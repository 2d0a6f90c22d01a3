// The result code of an action from the answer of a message box or the end code of a dialog.
#pragma once
#include <cstdint>

constexpr int kWizardBackCommand = 12323;

// -1 → -2; Cancel (2), Abort (3), No (7) → 6 (terminate the sequence); Retry (4), Try Again (10) → 4
// (back); 12323, the wizard's Back command → 5 (back to the previous dialog action); anything else
// → 0 (continue).
int32_t ActionResultFromDialog(int answer);
