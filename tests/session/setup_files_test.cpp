// Setup.exe end to end with files and folders: quiet runs of packages that install a tree of files,
// replace or keep existing files by install mode, and roll everything back after a failure; checked
// on the disk (content, times, attributes, no working copies left) and in the log.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"

using namespace setup_run;
using namespace test_support;

namespace {

uint64_t LastWrite(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return 0;
  return uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

void SetLastWrite(const std::u16string& path, uint64_t time) {
  HANDLE h = CreateFileW(W(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME t{DWORD(time), DWORD(time >> 32)};
  SetFileTime(h, nullptr, nullptr, &t);
  CloseHandle(h);
}

DWORD Attributes(const std::u16string& path) { return GetFileAttributesW(W(path)); }

// Where the first match of `pattern` starts in `text` (npos when none).
size_t FirstMatch(const std::string& text, const std::string& pattern) {
  std::smatch match;
  return std::regex_search(text, match, std::regex(pattern)) ? size_t(match.position(0)) : std::string::npos;
}

bool Exists(const std::u16string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

// The names of everything below `folder` (relative, folders with a trailing "\").
void ListTree(const std::u16string& folder, const std::u16string& prefix, std::vector<std::u16string>* names) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(folder + u"\\*"), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::u16string name = reinterpret_cast<const char16_t*>(found.cFileName);
    if (name == u"." || name == u"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      names->push_back(prefix + name + u"\\");
      ListTree(folder + u"\\" + name, prefix + name + u"\\", names);
    } else {
      names->push_back(prefix + name);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

constexpr uint64_t kYear2000 = 0x01BF53EB256D4000ULL;  // 2000-01-01 00:00 UTC
constexpr uint64_t kYear2025 = 0x01DBE0CDB4F2C000ULL;  // 2025-06-19

// Folder items: "app" (the product folder) and "deep" (app\sub\deeper, a variable of its own).
const char kFolders[] = R"(
    {"tag": "symb", "name": "deep_variable", "fields": {"variable_id": 1200, "name": "DeepFolder",
      "value": "<KesProductFolder>\\sub\\deeper"}},
    {"tag": "fldr", "name": "app", "fields": {"variable": "KesProductFolder", "install_mode": 4, "removal_mode": -3}},
    {"tag": "fldr", "name": "deep", "fields": {"variable": "DeepFolder", "parent": "@app", "install_mode": 4,
      "removal_mode": -3}},
    {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve", "progress_text_id": 565}},
    {"tag": "a135", "name": "folders", "fields": {"name": "Folders", "progress_text_id": 573}},
    {"tag": "a115", "name": "files", "fields": {"name": "Files", "progress_text_id": 543}},)";

// A file item in `folder` from the workspace's input `source`.
std::string FileItem(const std::string& name, const std::string& folder, const std::string& source, int mode,
                     const std::string& more = "") {
  return R"({"tag": "file", "name": ")" + name + R"(", "source": "in/)" + source + R"(", "fields": {"folder": "@)" +
         folder + R"(", "name": ")" + source + R"(", "install_mode": )" + std::to_string(mode) +
         R"(, "removal_mode": -3)" + more + "}},\n";
}

// The main sequence: prepare, resolve, folders, files, then `after` (names), complete.
std::string Sequence(const std::string& after = "") {
  return R"({"tag": "aseq", "name": "main", "fields": {"name": "Main",
      "actions": ["@prepare", "@resolve", "@folders", "@files", )" + after + R"("@complete"]}})";
}

struct TreeFile {
  const char16_t* source;  // under "in"
  const char16_t* target;  // under the product folder
  std::string bytes;
  DWORD attributes;
};

}  // namespace

TEST(SetupFiles, InstallsATreeOfFilesExactly) {
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  std::vector<TreeFile> files = {
      {u"text.txt", u"text.txt", "line one\r\nline two\r\n", FILE_ATTRIBUTE_ARCHIVE},
      {u"noise.bin", u"sub\\deeper\\noise.bin", Noise(300000, 7), FILE_ATTRIBUTE_ARCHIVE},
      {u"empty.dat", u"empty.dat", "", FILE_ATTRIBUTE_ARCHIVE},
      {u"locked.txt", u"sub\\deeper\\locked.txt", "read only", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
  };
  for (const TreeFile& f : files) {
    std::u16string source = w.Path(u"in\\") + f.source;
    WriteBytes(source, f.bytes);
    SetLastWrite(source, kYear2000 + 12345670000ULL * (&f - files.data()));
    SetFileAttributesW(W(source), f.attributes);
  }
  std::string objects = kFolders + FileItem("text", "app", "text.txt", 4) + FileItem("noise", "deep", "noise.bin", 4) +
                        FileItem("empty", "app", "empty.dat", 4) + FileItem("locked", "deep", "locked.txt", 4) +
                        Sequence();
  SetupRun run = Start(w, Build(w, Project(w, R"(, "first_sequence": "@main")", objects)), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;

  std::u16string product = w.Path(u"Product");
  for (const TreeFile& f : files) {
    std::u16string target = product + u"\\" + f.target;
    EXPECT_EQ(ReadBytes(target), f.bytes) << TextToUtf8(target);
    EXPECT_EQ(LastWrite(target), LastWrite(w.Path(u"in\\") + f.source)) << TextToUtf8(target);
    EXPECT_EQ(Attributes(target), f.attributes) << TextToUtf8(target);
  }
  std::vector<std::u16string> names;
  ListTree(product, u"", &names);
  for (const std::u16string& name : names) {
    EXPECT_EQ(name.find(u"._tm"), std::u16string::npos) << TextToUtf8(name);
    EXPECT_EQ(name.find(u"._rb"), std::u16string::npos) << TextToUtf8(name);
  }
  EXPECT_TRUE(Exists(product + u"\\Setup.dat"));
  // Each created folder component is journalled, outermost first (found line by line: a pattern
  // spanning the whole log recurses once per character in std::regex).
  size_t product_at = FirstMatch(run.log, "QEL:A0008\\|[^|]*\\|[^\n]*Product\n");
  size_t sub_at = FirstMatch(run.log, "QEL:A0008\\|[^|]*\\|[^\n]*Product\\\\sub\n");
  size_t deeper_at = FirstMatch(run.log, "QEL:A0008\\|[^|]*\\|[^\n]*Product\\\\sub\\\\deeper\n");
  EXPECT_NE(deeper_at, std::string::npos) << run.log;
  EXPECT_LT(product_at, sub_at);
  EXPECT_LT(sub_at, deeper_at);
  SetFileAttributesW(W(product + u"\\sub\\deeper\\locked.txt"), FILE_ATTRIBUTE_NORMAL);
}

TEST(SetupFiles, ReplacesOrKeepsExistingFilesByInstallMode) {
  // Per mode, three files: one older on disk, one newer on disk, one absent. The packaged files are
  // dated 2015; the older ones 2000, the newer ones 2025.
  struct Case {
    int mode;
    bool older_replaced, newer_replaced, absent_installed;
  } const kCases[] = {
      {1, false, false, true},  // never overwrite
      {2, true, false, false},  // only existing files, when newer
      {3, true, false, true},   // as 4, but a file changed after its creation stays (see below)
      {4, true, false, true},   // newer or absent
      {5, true, true, true},    // always
  };
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  std::u16string product = w.Path(u"Product");
  CreateDirectoryW(W(product), nullptr);
  std::string objects = kFolders;
  const uint64_t kPackaged = kYear2000 + 15 * 365ULL * 864000000000ULL;
  for (const Case& c : kCases) {
    for (const char* kind : {"older", "newer", "absent"}) {
      std::string name = std::string(kind) + std::to_string(c.mode) + ".txt";
      std::u16string name16 = TextFromUtf8(name);
      WriteBytes(w.Path(u"in\\") + name16, "packaged " + name);
      SetLastWrite(w.Path(u"in\\") + name16, kPackaged);
      if (std::string(kind) != "absent") {
        WriteBytes(product + u"\\" + name16, "existing " + name);
        SetLastWrite(product + u"\\" + name16, std::string(kind) == "older" ? kYear2000 : kYear2025);
      }
      objects += FileItem(std::string(kind) + std::to_string(c.mode), "app", name, c.mode);
    }
  }
  objects += Sequence();
  SetupRun run = Start(w, Build(w, Project(w, R"(, "first_sequence": "@main")", objects)), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  for (const Case& c : kCases) {
    std::string mode = std::to_string(c.mode);
    auto content = [&](const char* kind) { return ReadBytes(product + u"\\" + TextFromUtf8(kind + mode + ".txt")); };
    EXPECT_EQ(content("older"), (c.older_replaced ? "packaged older" : "existing older") + mode + ".txt") << mode;
    EXPECT_EQ(content("newer"), (c.newer_replaced ? "packaged newer" : "existing newer") + mode + ".txt") << mode;
    EXPECT_EQ(content("absent"), c.absent_installed ? "packaged absent" + mode + ".txt" : "") << mode;
  }
  // Wine gives every file a creation time equal to its last-write time, so mode 3's test of a file
  // changed after its creation is covered by the decision's unit test only.
  EXPECT_TRUE(run.Has("QEL:I0020\\|[^|]*\\|[^\n]*newer4\\.txt\n"));
  EXPECT_TRUE(run.Has("QEL:I0039\\|[^|]*\\|[^\n]*absent2\\.txt\n"));
  std::vector<std::u16string> names;
  ListTree(product, u"", &names);
  for (const std::u16string& name : names) EXPECT_EQ(name.find(u"._rb"), std::u16string::npos) << TextToUtf8(name);
}

TEST(SetupFiles, AFailureAfterInstallingRestoresEverything) {
  // A product folder that holds a file the package replaces and one it leaves; the run installs a
  // new file into a new nested folder, replaces the old one, then fails (a200 that aborts).
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  std::u16string product = w.Path(u"Product");
  CreateDirectoryW(W(product), nullptr);
  WriteBytes(product + u"\\replaced.txt", "old content");
  SetLastWrite(product + u"\\replaced.txt", kYear2000);
  SetFileAttributesW(W(product + u"\\replaced.txt"), FILE_ATTRIBUTE_READONLY);
  DWORD attributes = Attributes(product + u"\\replaced.txt");
  WriteBytes(product + u"\\other.txt", "not in the package");
  WriteBytes(w.Path(u"in\\replaced.txt"), "new content");
  WriteBytes(w.Path(u"in\\fresh.txt"), "fresh");
  std::string objects = kFolders + FileItem("replaced", "app", "replaced.txt", 5) +
                        FileItem("fresh", "deep", "fresh.txt", 4) +
                        R"({"tag": "a200", "name": "fail", "fields": {"name": "Fail", "flags": "0x10000",
                             "description": "failing on purpose", "parameter": 1}},)" +
                        Sequence(R"("@fail", )");
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects));

  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 6u) << run.log;
  EXPECT_EQ(ReadBytes(product + u"\\replaced.txt"), "old content");
  EXPECT_EQ(LastWrite(product + u"\\replaced.txt"), kYear2000);
  EXPECT_EQ(Attributes(product + u"\\replaced.txt"), attributes);
  EXPECT_EQ(ReadBytes(product + u"\\other.txt"), "not in the package");
  EXPECT_FALSE(Exists(product + u"\\sub")) << "the nested folders the run made are gone";
  EXPECT_FALSE(Exists(product + u"\\Setup.dat"));
  std::vector<std::u16string> names;
  ListTree(product, u"", &names);
  EXPECT_EQ(names.size(), 2u);
  SetFileAttributesW(W(product + u"\\replaced.txt"), FILE_ATTRIBUTE_NORMAL);
}

TEST(SetupFiles, AFileThatFailsIsNotFatalWithForce) {
  // A write fault on the temporary copy of "a.txt": fatal by default (the run rolls back), with /f
  // only that file fails and the next one is installed.
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\a.txt"), "a");
  WriteBytes(w.Path(u"in\\b.txt"), "b");
  std::string objects = kFolders + FileItem("a", "app", "a.txt", 4) + FileItem("b", "app", "b.txt", 4) + Sequence();
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects));
  std::u16string product = w.Path(u"Product");
  auto clearLogs = [&](const SetupRun& run) {
    for (const std::u16string& log : run.logs) DeleteFileW(W(w.Path(u"temp\\") + log));
  };
  // Which write creates the temporary copy.
  std::wstring fault;
  for (int index = 1; index <= 24 && fault.empty(); ++index) {
    std::wstring candidate = L"write:" + std::to_wstring(index);
    FaultGuard guard(candidate.c_str());
    SetupRun run = Start(w, setup, u"/q2");
    clearLogs(run);
    if (run.Has("QEL:W1010\\|[^|]*\\|write\\|[0-9]+\\|[^\n]*a\\.txt\\._tm")) {
      EXPECT_EQ(run.exit_code, 6u) << run.log;
      EXPECT_FALSE(Exists(product)) << "the rollback removes the folders it made";
      fault = candidate;
    }
    FolderDeleteTree(product.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  }
  ASSERT_FALSE(fault.empty());
  FaultGuard guard(fault.c_str());
  SetupRun forced = Start(w, setup, u"/q2 /f");
  EXPECT_EQ(forced.exit_code, 0u) << forced.log;
  EXPECT_TRUE(forced.Has("QEL:E0006\\|"));
  EXPECT_EQ(ReadBytes(product + u"\\b.txt"), "b") << "the next file is installed";
  EXPECT_FALSE(Exists(product + u"\\a.txt"));
  EXPECT_FALSE(Exists(product + u"\\a.txt._tm"));
}

TEST(SetupFiles, NamesThatLeaveTheirFolderAreRefused) {
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\ok.txt"), "ok");
  std::string objects = kFolders + FileItem("ok", "app", "ok.txt", 4);
  const char* const kNames[] = {"..\\\\escaped.txt", "C:\\\\escaped.txt", "ok.txt:stream", "sub\\\\NUL.txt"};
  for (size_t i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
    std::string item = FileItem("bad" + std::to_string(i), "app", "ok.txt", 4);
    item.replace(item.find("\"name\": \"ok.txt\""), 16, std::string("\"name\": \"") + kNames[i] + "\"");
    objects += item;
  }
  objects += Sequence();
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects));
  SetupRun fatal = Start(w, setup, u"/q2");
  EXPECT_EQ(fatal.exit_code, 6u) << fatal.log;
  EXPECT_TRUE(fatal.Has("QEL:E2004\\|[^|]*\\|\\.\\.\\\\escaped\\.txt\\|[0-9A-F]{16}\\|123\n")) << fatal.log;
  EXPECT_FALSE(Exists(w.Path(u"escaped.txt")));
  for (const std::u16string& log : fatal.logs) DeleteFileW(W(w.Path(u"temp\\") + log));

  SetupRun forced = Start(w, setup, u"/q2 /f");
  EXPECT_EQ(forced.exit_code, 0u) << forced.log;
  EXPECT_EQ(ReadBytes(w.Path(u"Product\\ok.txt")), "ok");
  EXPECT_TRUE(forced.Has("QEL:E2004\\|[^|]*\\|C:\\\\escaped\\.txt\\|[0-9A-F]{16}\\|123\n")) << forced.log;
  EXPECT_TRUE(forced.Has("QEL:E2004\\|[^|]*\\|ok\\.txt:stream\\|[0-9A-F]{16}\\|123\n"));
  EXPECT_TRUE(forced.Has("QEL:E2004\\|[^|]*\\|sub\\\\NUL\\.txt\\|[0-9A-F]{16}\\|161\n"));
  EXPECT_FALSE(Exists(w.Path(u"escaped.txt")));
  std::vector<std::u16string> names;
  ListTree(w.Path(u"Product"), u"", &names);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Setup.dat", u"Setup.exe", u"ok.txt", u"sub\\", u"sub\\deeper\\"}));
}

// Folder paths from a hostile package: a ".." that climbs out, a relative path, a device name, a path
// too long for the runtime's buffers (it would be cut to another folder), in the product folder or
// in a folder below it. Each run stops when the paths are resolved (E2008 with the reason), before
// anything is created, and leaves the workspace as it was.
TEST(SetupFiles, FolderPathsThatLeaveTheirTargetAreRefused) {
  const std::string kLong(1100, 'a');
  const struct {
    const char* product;  // the product folder's value, relative to the workspace ("" for "Product")
    std::string deep;     // the deeper folder's value
    unsigned long error;
  } kCases[] = {
      {"", "<KesProductFolder>\\\\..\\\\Escaped", ERROR_INVALID_NAME},
      {"", "Escaped\\\\deeper", ERROR_INVALID_NAME},
      {"", "<KesProductFolder>\\\\sub\\\\CON", ERROR_BAD_PATHNAME},
      {"", "<KesProductFolder>\\\\" + kLong, ERROR_FILENAME_EXCED_RANGE},
      {"Product\\..\\Escaped", "<KesProductFolder>\\\\sub", ERROR_INVALID_NAME},
  };
  for (const auto& c : kCases) {
    Workspace w;
    CreateDirectoryW(W(w.Path(u"in")), nullptr);
    WriteBytes(w.Path(u"in\\a.txt"), "a");
    std::string folders = kFolders;
    const std::string deep = R"("<KesProductFolder>\\sub\\deeper")";
    folders.replace(folders.find(deep), deep.size(), "\"" + c.deep + "\"");
    std::string product = *c.product ? Json(w.Path(TextFromUtf8(c.product).c_str())) : "";
    std::string project = Project(w, R"(, "first_sequence": "@main")",
                                  folders + FileItem("a", "deep", "a.txt", 4) + Sequence(), product);
    SetupRun run = Start(w, Build(w, project), u"/q2");
    EXPECT_NE(run.exit_code, 0u) << c.deep;
    EXPECT_TRUE(run.Has("QEL:E2008\\|[^|]*\\|(DeepFolder|KesProductFolder)\\|[^|]*\\|" + std::to_string(c.error) + "\n"))
        << c.deep << "\n" << run.log;
    EXPECT_FALSE(run.Has("QEL:I0062\\|")) << "paths resolved: " << c.deep;
    std::u16string root = w.Path(u"in");
    root.resize(root.size() - 3);
    std::vector<std::u16string> names;
    ListTree(root, u"", &names);
    for (const std::u16string& name : names)
      EXPECT_TRUE(name.rfind(u"in\\", 0) == 0 || name.rfind(u"out\\", 0) == 0 || name.rfind(u"temp\\", 0) == 0)
          << Utf8(name) << " left by " << c.deep;
  }
}

// A product folder deeper than MAX_PATH: a run that fails after its files rolls everything back,
// including the folders it made, and a run without the fault installs the tree.
TEST(SetupFiles, ProductFolderDeeperThanMaxPath) {
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\a.txt"), "a");
  WriteBytes(w.Path(u"in\\noise.bin"), Noise(100000, 3));
  std::u16string product = w.Path(u"Product");
  for (int i = 0; i < 5; ++i) product += u"\\" + std::u16string(50, char16_t(u'k' + i));
  ASSERT_GT(product.size() + TextLength(u"\\sub\\deeper\\noise.bin._tm"), size_t(MAX_PATH));
  std::string objects = kFolders + FileItem("a", "app", "a.txt", 4) + FileItem("noise", "deep", "noise.bin", 4) +
                        Sequence();
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects, Json(product)));
#ifdef SETUP_FAULT_INJECTION
  {
    FaultGuard fault(L"action:5");  // a101, after the files
    SetupRun failed = Start(w, setup, u"/q2");
    EXPECT_NE(failed.exit_code, 0u) << failed.log;
    EXPECT_TRUE(failed.Has("QEL:I0057\\|")) << failed.log;
    EXPECT_FALSE(Exists(w.Path(u"Product"))) << "the folders the run made are gone";
    for (const std::u16string& log : failed.logs) DeleteFileW(W(w.Path(u"temp\\") + log));
  }
#endif
  SetupRun run = Start(w, setup, u"/q2");
  ASSERT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_EQ(ReadBytes(product + u"\\a.txt"), "a");
  EXPECT_EQ(ReadBytes(product + u"\\sub\\deeper\\noise.bin"), Noise(100000, 3));
  EXPECT_TRUE(Exists(product + u"\\Setup.dat"));
}

TEST(SetupFiles, AnOptionsOwnPackageSuppliesItsFiles) {
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\main.txt"), "main");
  WriteBytes(w.Path(u"in\\extra.txt"), "extra");
  std::string objects = std::string(kFolders) + R"(
      {"tag": "symb", "name": "v524", "fields": {"variable_id": 524, "name": "PackageFolder", "value": ""}},
      {"tag": "cmp9", "name": "extras", "fields": {"name": "Extras", "flags": "0x10", "state_if_false": 3,
        "state_if_true": 3, "package_path": "<PackageFolder>\\Extras.kez"}},)" +
                        FileItem("main_file", "app", "main.txt", 4) +
                        FileItem("extra", "app", "extra.txt", 4, R"(, "options": ["@extras"])") + Sequence();
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main", "options": ["@extras"])", objects));
  ASSERT_TRUE(Exists(w.Path(u"out\\Extras.kez")));
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_EQ(ReadBytes(w.Path(u"Product\\main.txt")), "main");
  EXPECT_EQ(ReadBytes(w.Path(u"Product\\extra.txt")), "extra") << run.log;
}

namespace {

DWORD SharedCount(const std::u16string& path) {
  HKEY key;
  DWORD count = 0, size = sizeof count;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return 0;
  if (RegQueryValueExW(key, W(path), nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS) count = 0;
  RegCloseKey(key);
  return count;
}

}  // namespace

TEST(SetupFiles, RemovalRestoresTheBackupAndCountsSharedFiles) {
  // "lib.dll" replaces an earlier version that is backed up (removal mode -4); "shared.dll" is
  // counted under SharedDLLs; "plain.txt" is removed with its folder.
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  std::u16string product = w.Path(u"Product");
  CreateDirectoryW(W(product), nullptr);
  WriteBytes(product + u"\\lib.dll", "earlier version");
  WriteBytes(w.Path(u"in\\lib.dll"), "packaged version");
  WriteBytes(w.Path(u"in\\shared.dll"), "shared");
  WriteBytes(w.Path(u"in\\plain.txt"), "plain");
  std::string objects = std::string(kFolders) + FileItem("lib", "app", "lib.dll", 5) +
                        FileItem("shared", "deep", "shared.dll", 4, R"(, "file_flags": 1)") +
                        FileItem("plain", "deep", "plain.txt", 4) +
                        R"({"tag": "a116", "name": "remove_files", "fields": {"name": "Remove files"}},
                           {"tag": "a136", "name": "remove_folders", "fields": {"name": "Remove folders"}},)" +
                        Sequence(R"("@remove_files", "@remove_folders", )");
  // lib.dll keeps its backup on removal; the product folder goes only when empty.
  std::string app = R"("variable": "KesProductFolder", "install_mode": 4, "removal_mode": -3)";
  objects.replace(objects.find(app), app.size(), R"("variable": "KesProductFolder", "install_mode": 4, "removal_mode": -1)");
  objects.replace(objects.find(R"("install_mode": 5, "removal_mode": -3)"), 37, R"("install_mode": 5, "removal_mode": -4)");
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects));
  std::u16string shared = product + u"\\sub\\deeper\\shared.dll";
  DWORD before = SharedCount(shared);

  SetupRun install = Start(w, setup, u"/q2");
  EXPECT_EQ(install.exit_code, 0u) << install.log;
  EXPECT_EQ(ReadBytes(product + u"\\lib.dll"), "packaged version");
  EXPECT_TRUE(install.Has("QEL:A0042\\|[^|]*\\|[^|]*lib\\.dll\\|[^|]*[0-9A-F]{16}\\._bu\n")) << install.log;
  EXPECT_EQ(SharedCount(shared), before + 1);
  for (const std::u16string& log : install.logs) DeleteFileW(W(w.Path(u"temp\\") + log));

  SetupRun removal = Start(w, setup, u"/q2 /remove /d:\"" + product + u"\\Setup.dat\"");
  EXPECT_EQ(removal.exit_code, 0u) << removal.log;
  EXPECT_EQ(ReadBytes(product + u"\\lib.dll"), "earlier version") << removal.log;
  EXPECT_FALSE(Exists(product + u"\\sub")) << "the files and the folders the run made are gone";
  EXPECT_EQ(SharedCount(shared), before);
  std::vector<std::u16string> names;
  ListTree(product, u"", &names);
  for (const std::u16string& name : names) EXPECT_EQ(name.find(u"._bu"), std::u16string::npos) << TextToUtf8(name);
}

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::u16string PendingOperations() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key)) return {};
  DWORD size = 0;
  RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size);
  std::u16string value(size / 2, u'\0');
  if (size) RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(&value[0]), &size);
  RegCloseKey(key);
  return value;
}

void SetPendingOperations(const std::u16string& value) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key)) return;
  if (value.empty()) RegDeleteValueW(key, L"PendingFileRenameOperations");
  else RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(value.data()),
                      DWORD(value.size() * 2));
  RegCloseKey(key);
}

}  // namespace

TEST(SetupFiles, AFileInUseIsReplacedAtTheNextRestart) {
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  std::u16string product = w.Path(u"Product");
  CreateDirectoryW(W(product), nullptr);
  WriteBytes(product + u"\\busy.txt", "running version");
  WriteBytes(w.Path(u"in\\busy.txt"), "new version");
  std::string objects = std::string(kFolders) + FileItem("busy", "app", "busy.txt", 5) + Sequence();
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects));
  std::u16string before = PendingOperations();

  HANDLE held = CreateFileW(W(product + u"\\busy.txt"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  SetupRun run = Start(w, setup, u"/q2");
  CloseHandle(held);
  std::u16string pending = PendingOperations();
  SetPendingOperations(before);

  EXPECT_EQ(run.exit_code, 12u) << run.log;
  EXPECT_TRUE(run.Has("QEL:I0013\\|[^\n]*Error (32|5) while installing this file")) << "message 256, answered Cancel";
  EXPECT_TRUE(run.Has("QEL:Q0001\\|[^|]*\\|[^|]*busy\\.txt\\._tm\\|[^|]*busy\\.txt\n"));
  EXPECT_EQ(ReadBytes(product + u"\\busy.txt"), "running version");
  EXPECT_EQ(ReadBytes(product + u"\\busy.txt._tm"), "new version");
  EXPECT_FALSE(Exists(product + u"\\busy.txt._rb"));
  std::u16string source = product + u"\\busy.txt._tm";
  size_t at = pending.find(source);
  ASSERT_NE(at, std::u16string::npos) << "the pending move names the temporary copy";
  std::u16string destination = pending.c_str() + at + source.size() + 1;
  EXPECT_NE(destination.find(product + u"\\busy.txt"), std::u16string::npos) << TextToUtf8(destination);
}

TEST(SetupFiles, InstallingAFileCancelsItsPendingDeletion) {
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\kept.txt"), "kept");
  std::string objects = std::string(kFolders) + FileItem("kept", "app", "kept.txt", 4) + Sequence();
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects));
  std::u16string target = w.Path(u"Product\\kept.txt");
  std::u16string other = w.Path(u"other.tmp");
  std::u16string before = PendingOperations();
  std::u16string ours = u"\\??\\" + target + u'\0' + u'\0' + u"\\??\\" + other + u'\0' + u'\0';
  SetPendingOperations(before.empty() ? ours + u'\0' : before.substr(0, before.size() - 1) + ours + u'\0');
  SetupRun run = Start(w, setup, u"/q2");
  std::u16string pending = PendingOperations();
  SetPendingOperations(before);
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_EQ(ReadBytes(target), "kept");
  EXPECT_EQ(pending.find(target), std::u16string::npos) << "the deletion of the installed file is cancelled";
  EXPECT_NE(pending.find(other), std::u16string::npos) << "another deletion stays";
}

// With 32-bit file-system redirection off around target paths, a file for <$syspath(0)> lands in
// the native system folder (system32) and one for <$syspath(1)> in syswow64, from the 32-bit
// Setup.exe as from the 64-bit one (label wow64).
TEST(SetupFiles, SystemFoldersAreTheRealOnes) {
  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  const std::string stem = "setup_e2e_" + std::to_string(GetCurrentProcessId());
  WriteBytes(w.Path(u"in\\") + TextFromUtf8(stem + "_native.txt"), "native");
  WriteBytes(w.Path(u"in\\") + TextFromUtf8(stem + "_wow.txt"), "wow");
  std::string objects = R"(
    {"tag": "symb", "name": "system_variable", "fields": {"variable_id": 1300, "name": "SystemFolder", "value": "<$syspath(0)>"}},
    {"tag": "symb", "name": "wow_variable", "fields": {"variable_id": 1301, "name": "Wow64SystemFolder", "value": "<$syspath(1)>"}},
    {"tag": "fldr", "name": "system", "fields": {"variable": "SystemFolder", "install_mode": 4, "removal_mode": 0}},
    {"tag": "fldr", "name": "wow", "fields": {"variable": "Wow64SystemFolder", "install_mode": 4, "removal_mode": 0}},
    {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve", "progress_text_id": 565}},
    {"tag": "a135", "name": "folders", "fields": {"name": "Folders", "progress_text_id": 573}},
    {"tag": "a115", "name": "files", "fields": {"name": "Files", "progress_text_id": 543}},)" +
                        FileItem("native_file", "system", stem + "_native.txt", 4) +
                        FileItem("wow_file", "wow", stem + "_wow.txt", 4) + Sequence();
  SetupRun run = Start(w, Build(w, Project(w, R"(, "first_sequence": "@main")", objects)), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  // A 32-bit test program sees the native system folder as "Sysnative".
  const std::u16string native = sizeof(void*) == 4 ? u"C:\\windows\\Sysnative\\" : u"C:\\windows\\system32\\";
  const std::u16string wow = u"C:\\windows\\syswow64\\";
  EXPECT_EQ(ReadBytes(native + TextFromUtf8(stem + "_native.txt")), "native") << run.log;
  EXPECT_EQ(ReadBytes(wow + TextFromUtf8(stem + "_wow.txt")), "wow") << run.log;
  EXPECT_FALSE(Exists(wow + TextFromUtf8(stem + "_native.txt"))) << "not redirected into syswow64";
  for (const std::u16string& file : {native + TextFromUtf8(stem + "_native.txt"), wow + TextFromUtf8(stem + "_wow.txt")}) {
    SetFileAttributesW(W(file), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(W(file));
  }
}
