// The runtime main: the fixed order of phases from the process entry to the exit code.
#pragma once
#include <cstdint>

constexpr int kExitHelpShown = 9;  // "/?" or "/help" ended the run

// Runs the session for `command_line` and returns the process exit code.
int RuntimeMain(const char16_t* command_line);
