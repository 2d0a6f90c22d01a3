// The package builder: from a project description (README, "Building packages") to the files of an
// installation — Setup.exe with its package appended or stand-alone volumes, an external volume
// set, a downloaded main package and the packages of options — in one output folder.
//
// Nothing half-written is left: everything is written into a staging folder beside the output
// folder (its name with ".kez-build" appended) and moved into the output folder (created when
// missing; files of the same names are replaced) only when every package is complete. On failure
// the staging folder is removed and the output folder is untouched.
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
};

// Builds what the project asks for. `project_json` is the project file's text; its relative paths
// are relative to `base_folder` (the project file's folder). Returns 0, or a Windows error with
// *message (may be null) saying what failed; a fault of the description is 13 (ERROR_INVALID_DATA)
// and its message starts with the JSON path of the fault ("objects[3].fields.folder: ..."); a
// missing input file is 2 or 3, named by the path of the object that needs it; errors of writing
// the packages are those of the package writer (package/package_writer.h) and of the file system.
uint32_t ProjectBuild(const std::string& project_json, const std::u16string& base_folder,
                      const ProjectBuildOptions& options, std::string* message);
