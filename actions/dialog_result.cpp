#include "actions/dialog_result.h"

#include "actions/action_object.h"

int32_t ActionResultFromDialog(int answer) {
  switch (answer) {
    case -1: return kResultMissing;
    case 2:   // Cancel
    case 3:   // Abort
    case 7:   // No
      return kResultTerminate;
    case 4:   // Retry
    case 10:  // Try Again
      return kResultBack;
    case kWizardBackCommand: return kResultBackToDialog;
    default: return kResultDone;
  }
}
