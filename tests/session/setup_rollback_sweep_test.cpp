// The rollback at every step: a product with files in nested folders (one replacing an existing file,
// one shared, one temporary), registry values in both views (one overwriting an existing value), a
// shortcut and the session's working files is installed once for every action index and for a
// sample of write indexes spread over the whole run, each time with that action or write refused.
// After every run that fails, the machine must be as it was before: every file of the workspace and
// of the run's temporary folder (content, size, last-write time, attributes), the registry keys the
// run may touch (the product's keys and the system's CurrentVersion trees where installations
// register, in both views) and the pending renames of the next restart. (A walk of all of
// HKEY_LOCAL_MACHINE\Software takes this Wine some 40 seconds, too long for a run per index.) The
// same for a cancel at every step of the example product with its wizard. The tests print the
// indexes tried and the differences found.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/machine_snapshot.h"
#include "tests/session/setup_run_support.h"
#include "tools/kez/project_build.h"

using namespace setup_run;
using namespace test_support;
using nlohmann::json;

// Only test trees refuse actions and writes on request.
#ifdef SETUP_FAULT_INJECTION

namespace {

constexpr uint64_t kYear2000 = 0x01BF53EB256D4000ULL;
// Exit codes of runs that completed the installation: a file was deferred to the restart; the
// commit's last save of "Setup.dat" failed (the copy saved before the commit stays).
constexpr DWORD kRestartNeeded = 12;
constexpr DWORD kFinalSaveFailed = 4;

// Where the system keeps what installations register: shared-file counts, uninstall entries, App
// Paths, the Run keys.
const std::u16string kExample = std::u16string(SETUP_EXAMPLES_FOLDER) + u"/tally";

const char16_t kWindowsKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion";

// The product and the machine it installs on, all inside a workspace and the test's registry keys.
class Machine {
 public:
  Machine() {
    wchar_t name[64];
    wsprintfW(name, L"Software\\KezSweep%lu", GetCurrentProcessId());
    key_ = reinterpret_cast<const char16_t*>(name);
    CreateDirectoryW(W(w_.Path(u"in")), nullptr);
    WriteBytes(w_.Path(u"in\\app.txt"), "the program");
    std::string noise(200000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 2654435761u) >> 13);
    WriteBytes(w_.Path(u"in\\data.bin"), noise);
    WriteBytes(w_.Path(u"in\\shared.dll"), "shared library");
    WriteBytes(w_.Path(u"in\\notes.txt"), "newer notes");
    WriteBytes(w_.Path(u"in\\scratch.tmp"), "temporary");
    setup_ = Build(w_, Project());
  }
  ~Machine() {
    Reset();
    ClearRegistry();
    HKEY shared;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                      KEY_SET_VALUE, &shared) == 0) {
      RegDeleteValueW(shared, W(w_.Path(u"Product\\sub\\deeper\\shared.dll")));
      RegCloseKey(shared);
    }
  }

  // The state before every run: no product, the existing folder with its older file, the existing
  // registry values.
  void Reset() {
    DeleteTree(w_.Path(u"Product"));
    DeleteTree(w_.Path(u"Menu"));
    DeleteTree(w_.Path(u"Existing"));
    CreateDirectoryW(W(w_.Path(u"Existing")), nullptr);
    std::u16string notes = w_.Path(u"Existing\\notes.txt");
    WriteBytes(notes, "older notes");
    HANDLE h = CreateFileW(W(notes), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME t{DWORD(kYear2000), DWORD(kYear2000 >> 32)};
    SetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
    ClearRegistry();
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, W(key_), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const wchar_t old[] = L"user's own";
    RegSetValueExW(key, L"Setting", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof old);
    RegCloseKey(key);
  }

  Snapshot Take(const Workspace& temp) const {
    Snapshot s;
    AddFiles(w_.Path(u"Product"), "Product", &s);
    AddFiles(w_.Path(u"Menu"), "Menu", &s);
    AddFiles(w_.Path(u"Existing"), "Existing", &s);
    AddFiles(temp.Path(u"temp"), "temp", &s);
    AddKeys(HKEY_CURRENT_USER, key_, 0, "HKCU\\" + TextToUtf8(key_), &s);
    AddKeys(HKEY_LOCAL_MACHINE, key_, KEY_WOW64_64KEY, "HKLM (64)\\" + TextToUtf8(key_), &s);
    AddKeys(HKEY_LOCAL_MACHINE, key_, KEY_WOW64_32KEY, "HKLM (32)\\" + TextToUtf8(key_), &s);
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
      AddKeys(HKEY_LOCAL_MACHINE, kWindowsKey, view, view == KEY_WOW64_64KEY ? "HKLM (64)\\Windows" : "HKLM (32)\\Windows", &s);
    AddKeys(HKEY_CURRENT_USER, kWindowsKey, 0, "HKCU\\Windows", &s);
    AddKeys(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, "Session Manager", &s);
    return s;
  }

  SetupRun Run(const Workspace& temp, const std::u16string& fault) const {
    FaultGuard guard(W(fault));
    return Start(temp, setup_, u"/q2");
  }

 private:
  void ClearRegistry() {
    RegDeleteTreeW(HKEY_CURRENT_USER, W(key_));
    HKEY software;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &software) == 0) {
      RegDeleteTreeW(software, W(key_.substr(9)));
      RegCloseKey(software);
    }
  }

  std::string KeyPath(const char* root) const {
    std::string path = TextToUtf8(key_);
    return std::string(root) + "\\\\" + path.replace(8, 1, "\\\\");
  }

  std::string Project() const {
    auto file = [](const char* name, const char* folder, const char* source, int mode, const char* more = "") {
      return std::string(R"(, {"tag": "file", "name": ")") + name + R"(", "source": "in/)" + source +
             R"(", "fields": {"folder": "@)" + folder + R"(", "name": ")" + source + R"(", "install_mode": )" +
             std::to_string(mode) + R"(, "removal_mode": -3)" + more + "}}";
    };
    std::string objects =
        R"({"tag": "symb", "name": "deep_variable", "fields": {"variable_id": 1200, "name": "DeepFolder",
              "value": "<KesProductFolder>\\sub\\deeper"}},
           {"tag": "symb", "name": "existing_variable", "fields": {"variable_id": 1201, "name": "ExistingFolder",
              "value": )" + Json(w_.Path(u"Existing")) + R"(}},
           {"tag": "symb", "name": "menu_variable", "fields": {"variable_id": 1202, "name": "MenuFolder",
              "value": )" + Json(w_.Path(u"Menu\\Probe")) + R"(}},
           {"tag": "symb", "name": "user_key", "fields": {"variable_id": 1203, "name": "UserKey", "value": ")" +
        KeyPath("HKEY_CURRENT_USER") + R"("}},
           {"tag": "symb", "name": "machine_key", "fields": {"variable_id": 1204, "name": "MachineKey", "value": ")" +
        KeyPath("HKEY_LOCAL_MACHINE") + R"("}},
           {"tag": "fldr", "name": "app", "fields": {"variable": "KesProductFolder", "install_mode": 4, "removal_mode": -3}},
           {"tag": "fldr", "name": "deep", "fields": {"variable": "DeepFolder", "parent": "@app", "install_mode": 4,
              "removal_mode": -3}},
           {"tag": "fldr", "name": "existing", "fields": {"variable": "ExistingFolder", "install_mode": 4, "removal_mode": -1}},
           {"tag": "fldr", "name": "menu", "fields": {"variable": "MenuFolder", "install_mode": 4, "removal_mode": -3}})" +
        file("app_file", "app", "app.txt", 4) + file("data", "deep", "data.bin", 4) +
        file("shared", "deep", "shared.dll", 4, R"(, "file_flags": 1)") + file("notes", "existing", "notes.txt", 4) +
        file("scratch", "app", "scratch.tmp", 4, R"(, "file_flags": "0x40")") +
        R"(, {"tag": "regk", "name": "user", "fields": {"variable": "UserKey", "install_mode": 5, "removal_mode": -1}},
           {"tag": "regk", "name": "machine32", "fields": {"variable": "MachineKey", "view": 5, "install_mode": 5,
              "removal_mode": -1}},
           {"tag": "regv", "name": "setting", "fields": {"key": "@user", "name": "Setting", "data": "installed",
              "value_type": 1, "install_mode": 5, "removal_mode": -3}},
           {"tag": "regv", "name": "path", "fields": {"key": "@user", "name": "Path", "data": "<KesProductFolder>",
              "value_type": 2, "install_mode": 5, "removal_mode": -3}},
           {"tag": "regv", "name": "machine_value", "fields": {"key": "@machine32", "name": "Count", "data": "0",
              "value_type": 4, "install_mode": 6, "removal_mode": -5}},
           {"tag": "shct", "name": "link", "fields": {"folder": "@menu", "name": "Probe",
              "target": "<KesProductFolder>\\app.txt", "install_mode": 4, "removal_mode": -3}},
           {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve"}},
           {"tag": "a135", "name": "folders", "fields": {"name": "Folders"}},
           {"tag": "a115", "name": "files", "fields": {"name": "Files"}},
           {"tag": "a119", "name": "registry", "fields": {"name": "Registry"}},
           {"tag": "a117", "name": "shortcuts", "fields": {"name": "Shortcuts"}},
           {"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@prepare", "@resolve", "@folders",
              "@files", "@registry", "@shortcuts", "@complete"]}})";
    return setup_run::Project(w_, R"(, "first_sequence": "@main")", objects);
  }

  Workspace w_;
  std::u16string key_;
  std::u16string setup_;
};

// The example product (examples/tally, in the short form: welcome, licence, options, folder, progress
// and finish pages, files, registry values, three shortcuts) with its product folder, registry key
// and shortcut folder inside the test's workspace and keys.
class WizardProduct {
 public:
  WizardProduct() {
    wchar_t name[64];
    wsprintfW(name, L"Software\\KezCancel%lu", GetCurrentProcessId());
    key_ = reinterpret_cast<const char16_t*>(name);
    json project = json::parse(ReadBytes(kExample + u"/project.json"));
    project["output"] = {{"package", "Setup.exe"}, {"method", "zlib"}, {"level", 1}};
    auto variable = [](const char* object, int id, const char* name, const std::string& value) {
      return json{{"tag", "symb"}, {"name", object}, {"fields", {{"variable_id", id}, {"name", name}, {"value", value}}}};
    };
    project["objects"] = {
        variable("product_folder", 409, "KesProductFolder", Utf8(w_.Path(u"Product"))),
        variable("registry_key_variable_1", 2501, "RegistryKey1", "HKEY_CURRENT_USER\\" + TextToUtf8(key_)),
        variable("shortcut_folder_variable_1", 2601, "ShortcutFolder1", Utf8(w_.Path(u"Menu\\Tally")))};
    ProjectBuildOptions options;
    options.output = w_.Path(u"out");
    options.runtime = SetupPath();
    options.quiet = true;
    std::string message;
    built_ = ProjectBuild(project.dump(), kExample, options, &message);
    EXPECT_EQ(built_, 0u) << message;
  }
  ~WizardProduct() { Reset(); }
  bool Built() const { return built_ == 0; }

  void Reset() {
    DeleteTree(w_.Path(u"Product"));
    DeleteTree(w_.Path(u"Menu"));
    RegDeleteTreeW(HKEY_CURRENT_USER, W(key_));
  }

  Snapshot Take(const Workspace& temp) const {
    Snapshot s;
    AddFiles(w_.Path(u"Product"), "Product", &s);
    AddFiles(w_.Path(u"Menu"), "Menu", &s);
    AddFiles(temp.Path(u"temp"), "temp", &s);
    AddKeys(HKEY_CURRENT_USER, key_, 0, "HKCU\\" + TextToUtf8(key_), &s);
    AddKeys(HKEY_LOCAL_MACHINE, kWindowsKey, KEY_WOW64_64KEY, "HKLM (64)\\Windows", &s);
    AddKeys(HKEY_CURRENT_USER, kWindowsKey, 0, "HKCU\\Windows", &s);
    AddKeys(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, "Session Manager", &s);
    return s;
  }

  SetupRun Run(const Workspace& temp, const std::u16string& fault) const {
    FaultGuard guard(W(fault));
    return Start(temp, w_.Path(u"out\\Setup.exe"), u"/q2");
  }

 private:
  Workspace w_;
  std::u16string key_;
  unsigned long built_ = 1;
};

// The writes and actions a run without a fault counts (I1011).
std::pair<int, int> Counts(const SetupRun& run) {
  std::smatch m;
  std::regex pattern("QEL:I1011\\|[^|]*\\|([0-9]+)\\|([0-9]+)\n");
  if (!std::regex_search(run.log, m, pattern)) return {0, 0};
  return {std::stoi(m[1]), std::stoi(m[2])};
}

// About 30 indexes spread evenly over 1..count, the first and the last among them.
std::vector<int> Sample(int count) {
  std::vector<int> indexes;
  int step = count > 30 ? count / 30 : 1;
  for (int n = 1; n <= count; n += step) indexes.push_back(n);
  if (indexes.empty() || indexes.back() != count) indexes.push_back(count);
  return indexes;
}

std::u16string Fault(const char* kind, int index) { return TextFromUtf8(kind + std::to_string(index)); }

struct SweepFigures {
  int tried = 0, rolled_back = 0, completed = 0, differing = 0;
};

// Runs the product once per fault from a fresh machine and compares the machine after every run that
// did not complete with the one before. `completed` tells a run that completed the installation
// (the fault was one it could go on without); any other run must leave no difference.
template <typename Product, typename Completed>
SweepFigures Sweep(Product& product, const std::vector<std::u16string>& faults, Completed completed) {
  SweepFigures figures;
  for (const std::u16string& fault : faults) {
    product.Reset();
    Workspace temp;
    Snapshot before = product.Take(temp);
    SetupRun run = product.Run(temp, fault);
    ++figures.tried;
    if (completed(run)) {
      ++figures.completed;
      continue;
    }
    ++figures.rolled_back;
    std::vector<std::string> found = Differences(before, product.Take(temp));
    if (found.empty()) continue;
    ++figures.differing;
    std::string report;
    for (const std::string& line : found) report += "\n  " + line;
    ADD_FAILURE() << TextToUtf8(fault) << " (exit code " << run.exit_code << ") left " << found.size()
                  << " differences:" << report << "\n" << run.log;
  }
  return figures;
}

}  // namespace

TEST(SetupRollbackSweep, EveryFailedRunLeavesTheMachineAsItWas) {
  Machine machine;
  machine.Reset();
  Workspace first;
  SetupRun clean = machine.Run(first, u"");
  ASSERT_EQ(clean.exit_code, 0u) << clean.log;
  auto [writes, actions] = Counts(clean);
  ASSERT_GT(writes, 10) << clean.log;
  ASSERT_GE(actions, 7) << clean.log;

  DWORD start = GetTickCount();
  Snapshot sample = machine.Take(first);
  printf("rollback sweep: a snapshot holds %zu entries and takes %lu ms\n", sample.size(), GetTickCount() - start);
  fflush(stdout);
  std::vector<std::u16string> faults;
  for (int n = 1; n <= actions; ++n) faults.push_back(Fault("action:", n));
  for (int n : Sample(writes)) faults.push_back(Fault("write:", n));
  SweepFigures f = Sweep(machine, faults, [](const SetupRun& run) {
    // a refused call the run may go on without: a file deferred to the restart, the last save
    return !run.Has("QEL:I0057\\|") &&
           (run.exit_code == 0 || run.exit_code == kRestartNeeded || run.exit_code == kFinalSaveFailed);
  });
  printf("rollback sweep: %d writes and %d actions in a run; %d faults tried, %d rolled back, %d completed, "
         "%d left differences\n",
         writes, actions, f.tried, f.rolled_back, f.completed, f.differing);
  EXPECT_GT(f.rolled_back, actions / 2);
}

// The user cancels, answering Yes to the cancel question, as each action of the example is about to
// run (every wizard page, every installation action) and just before writes spread over the run.
// A cancel taken before the installation completed ends with exit code 5 and the machine as it was;
// one that arrives after it is not taken and the run completes.
TEST(SetupRollbackSweep, EveryCancelledRunLeavesTheMachineAsItWas) {
  WizardProduct product;
  ASSERT_TRUE(product.Built());
  product.Reset();
  Workspace first;
  SetupRun clean = product.Run(first, u"");
  ASSERT_EQ(clean.exit_code, 0u) << clean.log;
  auto [writes, actions] = Counts(clean);
  ASSERT_GE(actions, 12) << clean.log;  // the pages and the installation's actions

  std::vector<std::u16string> faults;
  for (int n = 1; n <= actions; ++n) faults.push_back(Fault("cancel-action:", n));
  for (int n : Sample(writes)) faults.push_back(Fault("cancel-write:", n));
  int unexpected = 0;
  SweepFigures f = Sweep(product, faults, [&](const SetupRun& run) {
    bool taken = run.Has("QEL:W0006\\|");
    if (taken ? run.exit_code != 5 : run.exit_code != 0) {
      ++unexpected;
      ADD_FAILURE() << "cancel " << (taken ? "taken" : "not taken") << ", exit code " << run.exit_code << "\n" << run.log;
    }
    return !taken;
  });
  printf("cancel sweep: %d writes and %d actions in a run; %d cancels tried, %d taken and rolled back, "
         "%d too late (the run was being made final), %d left differences\n",
         writes, actions, f.tried, f.rolled_back, f.completed, f.differing);
  EXPECT_EQ(unexpected, 0);
  EXPECT_GT(f.rolled_back, actions / 2);
}

#endif
