// The package builder: from a project description (README, "Building packages") to the files of an
// installation — Setup.exe with its package appended or stand-alone volumes, an external volume
// set, a downloaded main package and the packages of options — in one output folder.
//
// The output folder holds one complete build: everything is written into a staging folder beside
// it (its name with ".kez-build" appended), which replaces the output folder as a whole only when
// every package is complete (tools/kez/output_folder.h); files of an earlier build that this one
// does not write are gone. On failure the staging folder is removed and the output folder is
// untouched. An output folder that holds the project's folder or an input file is refused.
//
// The runtime of an ".exe" package is stamped first (tools/kez/runtime_stamp.h): the version
// resource carries the installation record's product text and version, the package code, and
// `company` and `file_description`; the project's `icon` replaces its main icon.
//
// The same description and the same input files give byte-identical output: objects are saved by
// id, entries follow the database's order, times come from the files and the database's save time
// from the project (or a constant), and ids and the package code are derived from the project.
#pragma once
#include <cstdint>
#include <string>

struct ProjectBuildOptions {
  std::u16string output;   // the output folder
  std::u16string runtime;  // the runtime executable (Setup.exe without a package); overrides the project's
  bool quiet = false;      // no progress lines at all
  // Receives progress lines (files added, bytes read and written, ratio), without a line end. Null:
  // the lines go to stderr unless `quiet`.
  void (*progress)(const char* line, void* context) = nullptr;
  void* progress_context = nullptr;
  // Receives warnings (a runtime that still carries debug information, a runtime signature that
  // was removed), without a line end. Null: they go to stderr, also when `quiet`.
  void (*warning)(const char* line, void* context) = nullptr;
  void* warning_context = nullptr;
};

// Builds what the project asks for. `project_json` is the project file's text; its relative paths
// are relative to `base_folder` (the project file's folder). Returns 0, or a Windows error with
// *message (may be null) saying what failed; a fault of the description is 13 (ERROR_INVALID_DATA)
// and its message starts with the JSON path of the fault ("objects[3].fields.folder: ..."); a
// missing input file is 2 or 3, named by the path of the object that needs it; 87 for an output
// folder that holds an input; 193 for a runtime that cannot be stamped; errors of writing the
// packages are those of the package writer (package/package_writer.h) and of the file system.
uint32_t ProjectBuild(const std::string& project_json, const std::u16string& base_folder,
                      const ProjectBuildOptions& options, std::string* message);
