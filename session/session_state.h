// The record of one run. Created with the command line's defaults before parsing; the start-up
// sequence and the subsystems add and read their fields for the whole run. A plain record:
// texts are heap blocks owned by the record (null = empty), freed by SessionFree.
#pragma once
#include <cstddef>
#include <cstdint>

#include "session/argument_vector.h"

struct ObjectTable;

enum : int32_t {
  kRunModeUnknown = 0,
  kRunModeInstall = 1,
  kRunModeRemove = 2,
  kRunModeRegister = 3,
  kRunModeRepair = 4,
  kRunModeResume = 5,
};

constexpr size_t kRememberedPasswordSize = 64;  // at most 63 bytes of ANSI text, kept scrambled
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
  uint8_t password[kRememberedPasswordSize];  // p:, scrambled with password_seed (session_password.h)
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
  int32_t phase;                    // kPhase*
  bool cancel_requested;            // the user asked to cancel and the installation was cancelled
  bool restart_decided;             // the finalisation decided to restart the system
  bool fonts_installed;             // fonts were installed (a font-change broadcast is due)

  // The loaded setup database and where it came from.
  ObjectTable* database;
  char16_t* database_file;          // the file the database was loaded from
  char16_t* package_path;           // the package the run started from (or the one picked instead)
  char16_t* runtime_copy_path;      // "<KesProductFolder>\Setup.exe", recorded when folders are redirected
  uint8_t package_code[16];
  bool fresh_installation;          // the database's installation time is 0

  // Facts of the machine and the account.
  uint16_t system_language;
  uint16_t user_language;
  char16_t thousands_separator[4];
  char16_t* system_folder;
  char16_t* user_name;
  char16_t* user_domain;
  char16_t* user_sid;
  bool administrator;
  uint32_t os_edition;              // the system's edition number (GetProductInfo or the version record)
  bool server;                      // a server-core edition
  int32_t display_width;            // pixels
  int32_t display_height;
  int32_t display_dpi_x;            // pixels per logical inch
  int32_t display_dpi_y;
  int32_t display_bits;             // colour bits per pixel (bits x planes)
  int32_t display_scale;            // percent: 100 x horizontal dpi / 96, rounded
};

// Phases of a run.
enum : int32_t {
  kPhaseStarting = 0,
  kPhaseRunning = 1,     // the top-level sequences run
  kPhaseCompleting = 2,  // the journal is finalized
  kPhaseRolledBack = 3,
  kPhaseFinished = 4,
};

// Installation states (negative: final).
enum : int32_t {
  kStateInitial = 0,
  kStateInstalling = 1,
  kStateCompleted = 2,
  kStateAborted = -1,
  kStateCancelled = -2,
};

// Predefined variables that mirror fields of the session.
enum : uint32_t {
  kVarExitCode = 502,
  kVarInstalled = 503,
  kVarQuietLevel = 505,
  kVarRestartMode = 506,
  kVarRestartNeeded = 507,
  kVarRunMode = 508,
  kVarState = 509,
};

// While a database is loaded the session's values live in its predefined variables as well: the
// database may change them. The bridge reads and writes them (installed by the start-up sequence);
// without it, or while no database is loaded, the session's own fields are the values.
struct SessionVariableBridge {
  bool (*read_int)(uint32_t id, int32_t* value);  // false when the variable cannot be read
  void (*write_int)(uint32_t id, int32_t value);
};
void SessionSetVariableBridge(const SessionVariableBridge* bridge);

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

// Records an exit code: the first non-zero code wins (the current code is read back from variable
// 502 first). Writes an I record with the current and the requested code and publishes the result
// in variable 502.
void SessionRecordExitCode(SessionState* session, int32_t code);
// The exit code, read back from variable 502 while a database is loaded.
int32_t SessionExitCode(SessionState* session);

// The values that the database may change, read from their variables first (above).
int32_t SessionRunMode(SessionState* session);        // 508
int32_t SessionQuietLevel(SessionState* session);     // 505
int32_t SessionRestartMode(SessionState* session);    // 506
int32_t SessionRestartNeeded(SessionState* session);  // 507
int32_t SessionInstallState(SessionState* session);   // 509

// Sets the installation state (variable 509). Once negative it no longer changes. The first
// negative state records exit code 5 for -2 (cancelled) and 6 otherwise, writes W0001 (state, exit
// code) and tells the extension library (event 9).
void SessionSetState(SessionState* session, int32_t state);
// Sets the phase, writing an I record with the old and the new phase.
void SessionSetPhase(SessionState* session, int32_t phase);
void SessionSetRestartNeeded(SessionState* session, int32_t flag);  // 507
void SessionSetRestartMode(SessionState* session, int32_t mode);    // 506
