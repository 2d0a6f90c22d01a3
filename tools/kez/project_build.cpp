#include "tools/kez/project_build.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "runtime/errors.h"
#include "runtime/text.h"
#include "tools/kez/output_folder.h"
#include "tools/kez/project_plan.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kFirstReport = 64ull << 20;  // bytes read before the first "writing" line

void LineToStderr(const char* line, void*) { fprintf(stderr, "kez: %s\n", line); }

void WarningToStderr(const char* line, void*) { fprintf(stderr, "kez: warning: %s\n", line); }

// Every input file of the plan, and the project's folder: the output folder replaced by a build
// must hold none of them.
std::vector<std::u16string> Inputs(const ProjectPlan& plan, const std::u16string& base_folder) {
  std::vector<std::u16string> inputs = {base_folder, plan.output.runtime, plan.icon, plan.readme, plan.extension};
  for (const std::vector<ProjectEntry>* entries : {&plan.support_files, &plan.payload})
    for (const ProjectEntry& entry : *entries) inputs.push_back(entry.source);
  for (const ProjectOptionPackage& option : plan.options)
    for (const ProjectEntry& entry : option.files) inputs.push_back(entry.source);
  return inputs;
}

uint32_t CheckOutputHoldsNoInput(const fs::path& output, const std::vector<std::u16string>& inputs,
                                 std::string* message) {
  for (const std::u16string& input : inputs) {
    if (input.empty() || !OutputFolderHolds(output, fs::path(input))) continue;
    *message = "the output folder " + output.u8string() + " holds the input " + TextToUtf8(input) +
               "; every build replaces the output folder as a whole";
    return ERROR_INVALID_PARAMETER;
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
  if ((err = CheckOutputHoldsNoInput(output, Inputs(plan, base_folder), message))) return err;
  std::vector<uint8_t> runtime;
  std::vector<std::string> warnings;
  if (!plan.output.runtime.empty() && (err = ProjectStampRuntime(plan, &runtime, &warnings, message))) return err;
  for (const std::string& warning : warnings)
    (options.warning ? options.warning : WarningToStderr)(warning.c_str(), options.warning_context);

  fs::path staging;
  if ((err = OutputFolderStage(output, &staging, message))) return err;
  ProjectProgress progress = {};
  if (!options.quiet) {
    progress.sink = options.progress ? options.progress : LineToStderr;
    progress.context = options.progress_context;
    progress.next_report = kFirstReport;
  }
  std::vector<std::u16string> written;
  err = ProjectWritePackages(plan, runtime, staging.u16string(), &progress, &written, message);
  if (!err) err = OutputFolderReplace(staging, output, message);
  std::error_code code;
  fs::remove_all(staging, code);
  return err;
}
