// The values that the command line gives to predefined variables of the setup database. They are
// computed into a record here and written into the variables once a database is loaded.
#pragma once
#include <cstdint>

#include "session/session_state.h"

// What the loaded database adds to the computation.
struct DatabaseFacts {
  bool has_installation_time;          // a run of an installed product
  const char16_t* source_folder_value; // the database's own value of variable 408 (may be null)
  const char16_t* database_file;       // the file the database was loaded from
};

struct CommandLineValues {
  int32_t exit_code;         // 502
  int32_t installed;         // 503: 1 with an installation time, 0 for a fresh installation
  int32_t quiet_level;       // 505
  int32_t restart_mode;      // 506
  int32_t restart_needed;    // 507
  int32_t run_mode;          // 508
  int32_t state;             // 509
  int32_t keep_flag;         // 519
  int32_t value_a;           // 523
  const char16_t* package_folder;  // 524 (the session's text)
  char16_t* source_folder;   // 408 (owned)
  char16_t* command_line;    // 529 (owned)
};

// Computes the values. The source folder is the s: value when given; otherwise the database's own
// value, or, when that is empty or the installation is fresh, the folder of the database file. It is
// also stored as the session's source folder.
void CommandLineValuesCompute(SessionState* session, const DatabaseFacts* facts, CommandLineValues* values);
void CommandLineValuesFree(CommandLineValues* values);

// The arguments joined with single spaces (variable 529). An argument that is empty or holds any of
// * ? & < > [ ] { } ^ = ; ! ' " + , ` ~ space or tab is enclosed in double quotes, with each double
// quote inside doubled. Returns a heap block (MemFree).
char16_t* CommandLineJoin(const ArgumentVector* arguments);
