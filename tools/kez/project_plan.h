// What a project description asks the package builder for, once read and checked: the database
// and the packages with the files that go into each. Read by project_parse.cpp, written out by
// project_packages.cpp.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "database/object_table.h"
#include "tools/kez/icon_file.h"

enum class PayloadPlace {
  kPackage,     // in the main package itself (installation flags bit 28)
  kExternal,    // in an external set Disk0001.kez, Disk0002.kez, ... (bit 29)
  kDownloaded,  // in the downloaded main package "_KesMain.kez" (bit 30)
};

struct ProjectOutput {
  std::u16string package_name;    // the main package's file name in the output folder
  std::u16string runtime;         // the executable that carries the main package; empty: a .kez volume
  PayloadPlace payload = PayloadPlace::kPackage;
  uint32_t method = 0;            // kPackageMethod*
  uint32_t level = 6;
  uint32_t dictionary_size = 0;   // 0: the level's
  uint64_t volume_size = 0;       // 0: one volume; else the payload's set is split at this size
  std::string password;           // bytes; empty: not enciphered
  bool mask_password = true;
};

// An input file and the entry it becomes.
struct ProjectEntry {
  uint64_t id;
  std::u16string source;
};

// A package of one own-package option: "<name>.kez", set identifier the option's id.
struct ProjectOptionPackage {
  uint64_t option_id;
  std::u16string file_name;
  std::vector<ProjectEntry> files;
};

struct ProjectPlan {
  ProjectOutput output;
  ObjectTable* table = nullptr;  // owned
  uint64_t save_time = 0;
  uint8_t package_code[16] = {};
  uint64_t installation_id = 0;  // the inst object's id: the downloaded main package's set identifier
  std::vector<ProjectEntry> support_files;  // entries of stof objects, in project order
  std::u16string icon, readme, extension;   // empty: no such entry
  std::vector<IconImage> icon_images;       // the icon's images, checked
  std::u16string company_name;              // "CompanyName" of the runtime; empty: the runtime's
  std::u16string file_description;          // "FileDescription" of the runtime; empty: the runtime's
  std::vector<ProjectEntry> payload;        // the main payload, in the database's file-list order
  std::vector<ProjectOptionPackage> options;

  ProjectPlan() = default;
  ProjectPlan(const ProjectPlan&) = delete;
  ProjectPlan& operator=(const ProjectPlan&) = delete;
  ~ProjectPlan() { ObjectTableDestroy(table); }
};

// Reads and checks the description; `runtime_override`, when not empty, replaces output.runtime.
// Returns 0, or 13 for a fault of the description, or the error of an input file (2, 3, ...), with
// *message naming the JSON path of the fault.
uint32_t ProjectParse(const std::string& project_json, const std::u16string& base_folder,
                      const std::u16string& runtime_override, ProjectPlan* plan, std::string* message);

// The `output` member into *settings (project_output.cpp); throws ProjectFault (project_reading.h).
void ProjectOutputFromJson(const nlohmann::json& output, const std::u16string& runtime_override,
                           const std::u16string& base, ProjectOutput* settings);

// The members that describe the product's Setup.exe — `icon` (read and checked), `company` and
// `file_description` — into the plan (project_runtime.cpp); throws ProjectFault.
void ProjectRuntimeFieldsFromJson(const nlohmann::json& document, const std::u16string& base, ProjectPlan* plan);

// The runtime of the main package (output.runtime) read and stamped with the product's name,
// version, package code, company, description and icon (tools/kez/runtime_stamp.h). Returns 0 or
// an error with *message; `warnings` receives what the builder should say about the runtime (debug
// information it carries, a signature removed).
uint32_t ProjectStampRuntime(const ProjectPlan& plan, std::vector<uint8_t>* image, std::vector<std::string>* warnings,
                             std::string* message);

// Writes every package of the plan into `folder` (which exists), the main package behind the
// stamped `runtime` (empty for a stand-alone volume), and adds the names of the files written to
// *written. Returns 0 or the first error, with *message; on failure the files of the package being
// written are gone, those of earlier packages are in *written.
struct ProjectProgress {
  void (*sink)(const char* line, void* context);  // null: silent
  void* context;
  uint64_t bytes_read;   // entry data read, over all packages
  uint64_t next_report;  // bytes read at which the next line is due
};
uint32_t ProjectWritePackages(const ProjectPlan& plan, const std::vector<uint8_t>& runtime, const std::u16string& folder,
                              ProjectProgress* progress, std::vector<std::u16string>* written, std::string* message);
