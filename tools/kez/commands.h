// The subcommands of the host tool kez. Each lives in a file of its own and has one row in the
// command table of main.cpp.
#pragma once

struct KezCommand {
  const char* name;
  const char* usage;                 // the arguments, for the usage text
  int (*run)(int argc, char** argv);  // argv[0] is the subcommand; returns the process exit code
};

// Package commands (package_commands.cpp).
int KezList(int argc, char** argv);
int KezExtract(int argc, char** argv);

// Setup databases as JSON (dump_command.cpp, undump_command.cpp).
int KezDump(int argc, char** argv);
int KezUndump(int argc, char** argv);

// The package builder (build_command.cpp) and its starter project (new_command.cpp).
int KezBuild(int argc, char** argv);
int KezNew(int argc, char** argv);
