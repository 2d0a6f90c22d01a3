// What the readers of a project description share (project_parse.cpp, project_output.cpp): the
// JSON path of every value read, typed reads that refuse what does not fit, and input files. A
// refusal travels as a ProjectFault exception inside the reader only; ProjectParse turns it into
// an error and a message that starts with the path.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>

#include <nlohmann/json.hpp>

#include "package/package_format.h"
#include "runtime/errors.h"

struct ProjectFault {
  uint32_t error;
  std::string message;  // "PATH: what is wrong"
};

// Throws ProjectFault{error, where + ": " + why}.
[[noreturn]] void Refuse(const std::string& where, const std::string& why, uint32_t error = ERROR_INVALID_DATA);

// Paths: "output" + "level" → "output.level"; "objects" + 3 → "objects[3]".
std::string Member(const std::string& where, const std::string& key);
std::string Item(const std::string& where, size_t index);
// A text as a JSON string, quotes and escapes included.
std::string Quoted(const std::string& text);

// Refuses anything but an object whose members are among `keys`.
void AllowOnly(const nlohmann::json& object, const std::string& where, std::initializer_list<const char*> keys);
const std::string& Text(const nlohmann::json& value, const std::string& where);
uint64_t Number(const nlohmann::json& value, const std::string& where, uint64_t maximum);
bool Flag(const nlohmann::json& value, const std::string& where);

std::string Lower(std::string text);  // ASCII letters only
bool EndsWith(const std::string& text, const std::string& end);
std::string FileNameOf(const std::string& path);  // after the last "/" or "\"

// "_KesMain.kez" and "DiskNNNN.kez", the names of the builder's own packages (any case).
bool IsReservedPackageName(const std::string& name);
// Refuses a name that is not a plain file name of the output folder.
void CheckFileName(const std::string& name, const std::string& where);

// An input file named by the value, relative to `base` unless absolute, that must exist and be a
// file; `header` (may be null) receives its entry header. Returns the resolved path.
std::u16string InputFile(const nlohmann::json& value, const std::string& where, const std::u16string& base,
                         PackageEntryHeader* header = nullptr);
