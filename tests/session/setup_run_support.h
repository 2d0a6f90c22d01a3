// End-to-end runs of Setup.exe: a throw-away folder tree, packages made by the package builder from
// inline projects, and quiet runs whose exit code, log and files the tests inspect.
#pragma once
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

namespace setup_run {

std::string Utf8(const std::u16string& text);

// A JSON string literal of a path.
std::string Json(const std::u16string& text);

// A folder tree of the test ("out" for the packages, "temp" for the run's temporary folder),
// removed with everything in it (read-only files too).
class Workspace {
 public:
  Workspace();
  ~Workspace();
  std::u16string Path(const char16_t* relative) const { return root_ + u"\\" + relative; }

 private:
  std::u16string root_;
};

struct SetupRun {
  DWORD exit_code = 0;
  std::string log;                   // the log without its byte-order mark
  std::vector<std::u16string> logs;  // names of the log files left in the temporary folder
  bool Has(const std::string& pattern) const { return std::regex_search(log, std::regex(pattern)); }
};

// The session variables and the installation record every project carries; `objects` adds
// objects; `inst` adds fields to the installation record. The product folder (variable 409) is the
// JSON text `product_folder`, by default the workspace's folder "Product".
std::string Project(const Workspace& w, const std::string& inst, const std::string& objects,
                    const std::string& product_folder = "");

// Builds the project into the workspace's "out" folder with the Setup.exe of this tree as runtime;
// returns the package's path.
std::u16string Build(const Workspace& w, const std::string& project);

// Runs the program with the arguments and the workspace's "temp" folder as temporary folder; reads
// the one log file it leaves there.
SetupRun Start(const Workspace& w, const std::u16string& program, const std::u16string& arguments);

// `size` pseudo-random bytes from `seed` (the same for the same seed): content no compressor shrinks.
std::string Noise(size_t size, uint32_t seed);

// Sets SETUP_FAULT (the fault plan of the test trees' Setup.exe) for the runs started while it lives.
class FaultGuard {
 public:
  explicit FaultGuard(const wchar_t* fault) { SetEnvironmentVariableW(L"SETUP_FAULT", fault); }
  ~FaultGuard() { SetEnvironmentVariableW(L"SETUP_FAULT", nullptr); }
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;
};

}  // namespace setup_run
