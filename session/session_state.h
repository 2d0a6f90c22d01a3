// The record of one run. Created with the command line's defaults before parsing; the start-up
// sequence and the subsystems add and read their fields for the whole run. A plain record:
// texts are heap blocks owned by the record (null = empty), freed by SessionFree.
#pragma once
#include <cstddef>
#include <cstdint>

#include "session/argument_vector.h"

enum : int32_t {
  kRunModeUnknown = 0,
  kRunModeInstall = 1,
  kRunModeRemove = 2,
  kRunModeRegister = 3,
  kRunModeRepair = 4,
  kRunModeResume = 5,
};

constexpr size_t kPasswordBufferSize = 64;  // at most 63 bytes of ANSI text, kept scrambled
constexpr uint16_t kNoLanguageRequest = 0xFFFF;
constexpr int32_t kShowDefault = 10;          // SW_SHOWDEFAULT
constexpr char16_t kLibraryName[] = u"Ostrel setup library";

struct SessionState {
  // From the command line (switches and verbs).
  int32_t run_mode;                 // kRunMode*
  char16_t* install_folder;         // install: verb
  int32_t quiet_level;              // 0 full user interface, 1 quiet, 2 or more none at all
  int32_t restart_mode;             // 0 never, 1 when needed, 2 or more forced; -1 the database's default
  uint32_t error_abort_mask;        // failure categories that may abort the run
  int32_t force;
  int32_t keep_flag;
  int32_t value_a;
  int32_t verification_option;      // package digest checks: 0 never, 2 always, else unless read-only
  uint16_t language_request;        // kNoLanguageRequest when none
  char16_t* database_path;          // d:
  char16_t* source_folder;          // s:
  char16_t* package_folder;         // z:
  char16_t* log_path;               // log:
  uint8_t password[kPasswordBufferSize];  // p:, scrambled with password_seed (session_password.h)
  uint32_t password_seed;           // the run identifier
  int32_t show_command;             // of the main window
  ArgumentVector arguments;         // the split command line, program path first

  // The run's state.
  bool quit;                        // ends the main loop
  int32_t exit_code;                // the first non-zero code recorded wins
  int32_t state;                    // installation state; negative: cancelled or failed
  int32_t restart_needed;
  uint16_t ui_language;             // current user-interface language (0 until one is chosen)
  bool right_to_left;               // message boxes read right to left
  void* main_window;                // HWND of the main window, once it exists
  char16_t* title;                  // title of the setup's windows and message boxes
};

// A new record with the defaults; the password buffer starts scrambled (empty) with `password_seed`.
SessionState* SessionCreate(uint32_t password_seed);
// Frees the record and everything it owns (the password buffer is wiped); null is accepted.
void SessionFree(SessionState* session);

// Replaces an owned text field with a copy of `text` (null or empty: the field becomes null).
void SessionSetText(char16_t** field, const char16_t* text);
// The text of a field, "" for null.
inline const char16_t* SessionText(const char16_t* field) { return field ? field : u""; }

// "Unknown", "Install", "Remove", "Register", "Repair", "Resume"; "Unknown" outside 0-5.
const char16_t* RunModeName(int32_t run_mode);

// The run's record, for the subsystems that work without being handed it (message boxes).
SessionState* SessionCurrent();
void SessionSetCurrent(SessionState* session);

// Records an exit code: the first non-zero code wins. Writes an I record with the current and the
// requested code.
void SessionRecordExitCode(SessionState* session, int32_t code);
