// Locating and loading the run's setup database: the d: path, else the package behind the
// executable, else "Setup.dat" beside it.
#pragma once

struct SessionState;

// Loads the database into session->database. On failure: E0002 (path, error), message 485 and exit
// code 5 (1223), 15 (6001, 6002) or 3; returns false.
bool LoadRunDatabase(SessionState* session);

// The exit code of a failed load.
int ExitCodeOfLoadError(unsigned long error);
