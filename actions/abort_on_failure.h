// Abort on failure: every run method that fails hands its failure category to this rule, which
// decides with the session's error-abort mask and the installation record's abort mask whether the
// installation is aborted.
#pragma once
#include <cstdint>

struct SessionState;

// Failure categories.
enum : uint32_t {
  kFailureFiles = 0x1,
  kFailureRegistration = 0x2,
  kFailureShortcuts = 0x4,
  kFailureConfiguration = 0x38,
  kFailureExternal = 0x1100,
  kFailureUserCancel = 0x400,
  kFailureDownload = 0x8000,
  kFailureAlways = 0x80000000,  // with the default masks every failure of this category is fatal
};

// Writes W1720 (flags, state, phase). During the phases 2-4 and in remove mode nothing is aborted.
// The category is fatal when (flags & error-abort mask) has bit 31 or shares a bit with the
// installation record's abort mask (slot 14). A fatal category shows, with `show`, the error message
// of the first matching category bit (279 files, 280 registration, 281 shortcuts, 282 system
// configuration, 283 external actions, 292 downloads, else 284), sets the installation state to -1
// and returns true; otherwise false.
bool AbortOnFailure(uint32_t flags, bool show);

// Whether the user may cancel the run: category 0x400 is set in the session's error-abort mask and
// in the installation record's abort mask.
bool UserCancelAllowed(SessionState* session);

// The message of a category (exposed for tests).
uint32_t AbortMessageId(uint32_t flags);

// The time-out of the program's own message boxes in milliseconds, from variable 530 (seconds; 0
// means 300 seconds, 4294967 or more no time-out). 300 seconds without a database.
uint32_t MessageBoxTimeout();
