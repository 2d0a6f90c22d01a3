// The end of a run inside the main window: commit (finalize the journal, save "Setup.dat") or roll
// back (roll back the journal, restore the product folder), the log's end-of-run name, the phases
// and the restart decision.
#pragma once

struct SessionState;
struct ObjectTable;

// Runs after the top-level sequences; does nothing without a database or installation record.
void FinalizeRun(SessionState* session);

// Saves the database as "Setup.dat" in the product folder (variable 409), creating the folder when
// it is missing. Failure: message 486 and exit code 4. Returns 0 or the error.
unsigned long SaveRunDatabase(SessionState* session, ObjectTable* database);

// Restarts the system when the finalisation decided so (shutdown privilege, reboot).
void RestartIfDecided(SessionState* session);
