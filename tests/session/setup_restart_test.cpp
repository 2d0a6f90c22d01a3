// A file in use is replaced at the next restart, checked across a real restart of the Wine prefix:
// the first phase installs over a file held open (the run ends with 12 and leaves the new copy as
// "._tm" with a pending rename); tests/session/setup_restart_test.sh then ends the prefix's
// wineserver, and the second phase, in the restarted prefix, finds the new file in place. The
// phases run only from that script (they share a folder and the prefix's pending renames).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"

using namespace setup_run;
using namespace test_support;

namespace {

// The product folder both phases use: "<temp>\kez_restart\Product".
std::u16string Product() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return reinterpret_cast<const char16_t*>(temp) + std::u16string(u"kez_restart\\Product");
}

bool Exists(const std::u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

std::u16string PendingOperations() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key))
    return u"";
  wchar_t data[8192] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return std::u16string(reinterpret_cast<const char16_t*>(data), size / sizeof(wchar_t));
}

}  // namespace

TEST(SetupRestart, FirstPhaseDefersTheFileInUse) {
  std::u16string product = Product();
  std::u16string root = product.substr(0, product.rfind(u'\\'));
  FolderDeleteTree(root.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  CreateDirectoryW(W(root), nullptr);
  CreateDirectoryW(W(product), nullptr);
  WriteBytes(product + u"\\busy.txt", "running version");

  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\busy.txt"), "new version");
  std::string objects = R"(
    {"tag": "fldr", "name": "app", "fields": {"variable": "KesProductFolder", "install_mode": 4, "removal_mode": -3}},
    {"tag": "file", "name": "busy", "source": "in/busy.txt", "fields": {"folder": "@app", "name": "busy.txt",
      "install_mode": 5, "removal_mode": -3}},
    {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve"}},
    {"tag": "a135", "name": "folders", "fields": {"name": "Folders"}},
    {"tag": "a115", "name": "files", "fields": {"name": "Files"}},
    {"tag": "aseq", "name": "main", "fields": {"name": "Main",
      "actions": ["@prepare", "@resolve", "@folders", "@files", "@complete"]}})";
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects, Json(product)));

  HANDLE held = CreateFileW(W(product + u"\\busy.txt"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  SetupRun run = Start(w, setup, u"/q2");
  CloseHandle(held);
  EXPECT_EQ(run.exit_code, 12u) << run.log;
  EXPECT_EQ(ReadBytes(product + u"\\busy.txt"), "running version");
  EXPECT_EQ(ReadBytes(product + u"\\busy.txt._tm"), "new version");
  EXPECT_NE(PendingOperations().find(product + u"\\busy.txt._tm"), std::u16string::npos);
}

TEST(SetupRestart, SecondPhaseFindsTheNewFileInPlace) {
  std::u16string product = Product();
  EXPECT_EQ(ReadBytes(product + u"\\busy.txt"), "new version");
  EXPECT_FALSE(Exists(product + u"\\busy.txt._tm"));
  EXPECT_EQ(PendingOperations().find(product), std::u16string::npos) << "the restart performed the rename";
  std::u16string root = product.substr(0, product.rfind(u'\\'));
  FolderDeleteTree(root.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
}
