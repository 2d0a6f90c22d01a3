// The short project form: a "product" member that `kez build` expands into the objects of a complete
// installer (README, "Short form"): the installation record, the variables the runtime and the
// standard pages read, options, folders, files found by pattern, the wizard pages asked for with
// their controls, and the install sequence. The project's own "objects" are kept: one with the name
// of a generated object replaces it, the others are added after the generated ones.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The project document with "product" expanded into "objects" and removed; a document without
// "product" comes back unchanged. Patterns are matched against the files under `base`. Refuses
// (ProjectFault) with the JSON path of what is wrong.
nlohmann::json ShortFormExpand(const nlohmann::json& document, const std::u16string& base);

// The files a pattern names, as paths relative to `base` with "/" separators, in name order. The
// pattern is a path relative to `base` whose last component may hold "*" and "?"; "**" as the last
// component takes every file below the folder. Refuses a pattern that matches nothing.
struct ShortFormMatch {
  std::string source;     // relative to base
  std::string subfolder;  // the file's folder below the pattern's folder ("" or "a/b")
  std::string name;       // the file name
  uint64_t size;          // its size in bytes
};
std::vector<ShortFormMatch> ShortFormFiles(const std::string& pattern, const std::u16string& base,
                                           const std::string& where);

// The content of a text file (the licence, the read-me) named relative to `base`: UTF-8 or ASCII
// rich text, at most kShortFormTextLimit bytes. Refuses a missing, too large or non-UTF-8 file.
constexpr size_t kShortFormTextLimit = 100000;
std::string ShortFormReadText(const std::string& relative, const std::u16string& base, const std::string& where);
