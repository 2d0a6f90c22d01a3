#include "tools/kez/project_build.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "runtime/errors.h"
#include "runtime/text.h"
#include "tools/kez/project_plan.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kFirstReport = 64ull << 20;  // bytes read before the first "writing" line

void LineToStderr(const char* line, void*) { fprintf(stderr, "kez: %s\n", line); }

// The Windows error of a file-system failure (std::errc compares on every platform).
uint32_t FileSystemError(const std::error_code& code) {
  if (code == std::errc::permission_denied) return ERROR_ACCESS_DENIED;
  if (code == std::errc::no_such_file_or_directory) return ERROR_PATH_NOT_FOUND;
  if (code == std::errc::file_exists || code == std::errc::is_a_directory) return ERROR_ALREADY_EXISTS;
  return ERROR_WRITE_FAULT;
}

// The staging folder: beside the output folder, its name with ".kez-build" appended; emptied first.
uint32_t PrepareStaging(const fs::path& output, fs::path* staging, std::string* message) {
  fs::path parent = output.parent_path();
  *staging = (parent.empty() ? fs::path(".") : parent) / (output.filename().u16string() + u".kez-build");
  std::error_code code;
  fs::remove_all(*staging, code);
  if (!code) fs::create_directories(*staging, code);
  if (code) {
    *message = "cannot make the staging folder " + staging->u8string() + ": " + code.message();
    return FileSystemError(code);
  }
  return ERROR_SUCCESS;
}

// Moves the finished files into the output folder, replacing files of the same names.
uint32_t Publish(const fs::path& staging, const fs::path& output, const std::vector<std::u16string>& names,
                 std::string* message) {
  std::error_code code;
  fs::create_directories(output, code);
  for (size_t i = 0; !code && i < names.size(); ++i) fs::rename(staging / names[i], output / names[i], code);
  if (code) {
    *message = "cannot move the packages into " + output.u8string() + ": " + code.message();
    return FileSystemError(code);
  }
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t ProjectBuild(const std::string& project_json, const std::u16string& base_folder,
                      const ProjectBuildOptions& options, std::string* message) {
  std::string ignored;
  if (!message) message = &ignored;
  message->clear();
  if (options.output.empty()) {
    *message = "no output folder given";
    return ERROR_INVALID_PARAMETER;
  }
  ProjectPlan plan;
  uint32_t err = ProjectParse(project_json, base_folder, options.runtime, &plan, message);
  if (err) return err;

  fs::path output = fs::path(options.output).lexically_normal();
  if (!output.has_filename()) output = output.parent_path();
  fs::path staging;
  if ((err = PrepareStaging(output, &staging, message))) return err;
  ProjectProgress progress = {};
  if (!options.quiet) {
    progress.sink = options.progress ? options.progress : LineToStderr;
    progress.context = options.progress_context;
    progress.next_report = kFirstReport;
  }
  std::vector<std::u16string> written;
  err = ProjectWritePackages(plan, staging.u16string(), &progress, &written, message);
  if (!err) err = Publish(staging, output, written, message);
  std::error_code code;
  fs::remove_all(staging, code);
  return err;
}
