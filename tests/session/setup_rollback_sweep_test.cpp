// The rollback at every step: a product with files in nested folders (one replacing an existing file,
// one shared, one temporary), registry values in both views (one overwriting an existing value), a
// shortcut and the session's working files is installed once for every action index and for a
// sample of write indexes spread over the whole run, each time with that action or write refused.
// After every run that fails, the machine must be as it was before: every file of the workspace and
// of the run's temporary folder (content, size, last-write time, attributes), the registry keys the
// run may touch (the product's keys and the system's CurrentVersion trees where installations
// register, in both views) and the pending renames of the next restart. (A walk of all of
// HKEY_LOCAL_MACHINE\Software takes this Wine some 40 seconds, too long for a run per index.) The test prints the indexes tried and the differences found.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"

using namespace setup_run;
using namespace test_support;

// Only test trees refuse actions and writes on request.
#ifdef SETUP_FAULT_INJECTION

namespace {

using Snapshot = std::map<std::string, std::string>;

uint64_t Fnv(const std::string& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string Hex(const BYTE* data, DWORD size) {
  std::string text;
  char pair[3];
  for (DWORD i = 0; i < size && i < 64; ++i) {
    snprintf(pair, sizeof pair, "%02X", data[i]);
    text += pair;
  }
  if (size > 64) text += "…#" + std::to_string(Fnv(std::string(reinterpret_cast<const char*>(data), size)));
  return text;
}

// Every file and folder below `folder`, with what a rollback must restore. Log files are the run's own
// record and are left out.
void AddFiles(const std::u16string& folder, const std::string& label, Snapshot* s) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(folder + u"\\*"), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::u16string name = reinterpret_cast<const char16_t*>(found.cFileName);
    if (name == u"." || name == u"..") continue;
    std::u16string path = folder + u"\\" + name;
    std::string key = "file " + label + "\\" + TextToUtf8(name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*s)[key + "\\"] = "folder";
      AddFiles(path, label + "\\" + TextToUtf8(name), s);
      continue;
    }
    if (name.size() > 4 && name.compare(name.size() - 4, 4, u".log") == 0) continue;
    uint64_t written = uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32 | found.ftLastWriteTime.dwLowDateTime;
    (*s)[key] = "size " + std::to_string(found.nFileSizeLow) + ", written " + std::to_string(written) +
                ", attributes " + std::to_string(found.dwFileAttributes) + ", content #" +
                std::to_string(Fnv(ReadBytes(path)));
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

void AddValues(HKEY key, const std::string& label, Snapshot* s) {
  static std::vector<wchar_t> name(16384);
  static std::vector<BYTE> data(1 << 20);
  for (DWORD i = 0;; ++i) {
    DWORD name_length = DWORD(name.size()), size = DWORD(data.size()), type = 0;
    if (RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    std::u16string value(reinterpret_cast<const char16_t*>(name.data()), name_length);
    (*s)["value " + label + " : " + TextToUtf8(value)] = std::to_string(type) + ":" + Hex(data.data(), size);
  }
}

void AddKeys(HKEY root, const std::u16string& path, REGSAM view, const std::string& label, Snapshot* s, int depth = 0) {
  HKEY key;
  if (depth > 32 || RegOpenKeyExW(root, W(path), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  (*s)["key " + label] = "";
  AddValues(key, label, s);
  std::vector<std::u16string> subkeys;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(reinterpret_cast<const char16_t*>(name), length);
  }
  RegCloseKey(key);
  for (const std::u16string& sub : subkeys)
    AddKeys(root, path + u"\\" + sub, view, label + "\\" + TextToUtf8(sub), s, depth + 1);
}

// The names of the entries that differ, with both sides.
std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> found;
  for (const auto& [key, value] : before) {
    auto other = after.find(key);
    if (other == after.end()) found.push_back(key + ": gone (was " + value + ")");
    else if (other->second != value) found.push_back(key + ": " + value + " -> " + other->second);
  }
  for (const auto& [key, value] : after)
    if (!before.count(key)) found.push_back(key + ": new (" + value + ")");
  return found;
}

constexpr uint64_t kYear2000 = 0x01BF53EB256D4000ULL;
// Exit codes of runs that completed the installation: a file was deferred to the restart; the
// commit's last save of "Setup.dat" failed (the copy saved before the commit stays).
constexpr DWORD kRestartNeeded = 12;
constexpr DWORD kFinalSaveFailed = 4;

// Where the system keeps what installations register: shared-file counts, uninstall entries, App
// Paths, the Run keys.
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
    DeleteTree(W(w_.Path(u"Product")));
    DeleteTree(W(w_.Path(u"Menu")));
    DeleteTree(W(w_.Path(u"Existing")));
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

  static void DeleteTree(const wchar_t* folder) {
    std::u16string path = reinterpret_cast<const char16_t*>(folder);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(W(path + u"\\*"), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::u16string name = reinterpret_cast<const char16_t*>(found.cFileName);
        if (name == u"." || name == u"..") continue;
        std::u16string inner = path + u"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          DeleteTree(W(inner));
        } else {
          SetFileAttributesW(W(inner), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(W(inner));
        }
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(folder);
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
  for (int n = 1; n <= actions; ++n) faults.push_back(u"action:" + TextFromUtf8(std::to_string(n)));
  for (int n : Sample(writes)) faults.push_back(u"write:" + TextFromUtf8(std::to_string(n)));
  int tried = 0, rolled_back = 0, completed = 0, differing = 0;
  for (const std::u16string& fault : faults) {
    machine.Reset();
    Workspace temp;
    Snapshot before = machine.Take(temp);
    SetupRun run = machine.Run(temp, fault);
    ++tried;
    bool rolled = run.Has("QEL:I0057\\|");
    if (!rolled && (run.exit_code == 0 || run.exit_code == kRestartNeeded || run.exit_code == kFinalSaveFailed)) {
      ++completed;  // the refused call was one the run may go on without
      continue;
    }
    ++rolled_back;
    std::vector<std::string> found = Differences(before, machine.Take(temp));
    if (found.empty()) continue;
    ++differing;
    std::string report;
    for (const std::string& line : found) report += "\n  " + line;
    ADD_FAILURE() << TextToUtf8(fault) << " (exit code " << run.exit_code << ") left " << found.size()
                  << " differences:" << report << "\n" << run.log;
  }
  printf("rollback sweep: %d writes and %d actions in a run; %d faults tried, %d rolled back, %d completed, "
         "%d left differences\n",
         writes, actions, tried, rolled_back, completed, differing);
  EXPECT_GT(rolled_back, actions / 2);
}

#endif
