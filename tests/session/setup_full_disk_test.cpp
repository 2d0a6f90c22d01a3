// An installation that fills its drive: tests/session/setup_full_disk_test.sh maps a 3 MiB
// RAM-backed drive as Q: (named by SETUP_FULL_DISK_DRIVE) that already holds a product folder with
// an older program file and a file of the user's. The package replaces the program file and then
// brings a file larger than the free space: the extraction fails with "disk full", the run rolls
// back, and the drive holds exactly what it held before, down to the free bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/machine_snapshot.h"
#include "tests/session/setup_run_support.h"

using namespace setup_run;
using namespace test_support;

namespace {

uint64_t FreeBytes(const std::u16string& root) {
  ULARGE_INTEGER available{};
  GetDiskFreeSpaceExW(W(root), &available, nullptr, nullptr);
  return available.QuadPart;
}

}  // namespace

TEST(SetupFullDisk, ExtractionThatFillsTheDriveRollsBack) {
  wchar_t drive[8] = {};
  if (!GetEnvironmentVariableW(L"SETUP_FULL_DISK_DRIVE", drive, 8))
    GTEST_SKIP() << "runs only from setup_full_disk_test.sh, which maps the small drive";
  const std::u16string root = reinterpret_cast<const char16_t*>(drive) + std::u16string(u"\\");
  const std::u16string product = root + u"Product";
  DeleteTree(product);
  ASSERT_TRUE(CreateDirectoryW(W(product), nullptr));
  WriteBytes(product + u"\\app.dat", "older program");
  WriteBytes(product + u"\\notes.txt", "the user's own notes");

  Workspace w;
  CreateDirectoryW(W(w.Path(u"in")), nullptr);
  WriteBytes(w.Path(u"in\\app.dat"), Noise(256 * 1024, 1));
  WriteBytes(w.Path(u"in\\big.bin"), Noise(6 * 1024 * 1024, 2));
  std::string objects = R"(
    {"tag": "symb", "name": "data_variable", "fields": {"variable_id": 1200, "name": "DataFolder",
      "value": "<KesProductFolder>\\data"}},
    {"tag": "fldr", "name": "app", "fields": {"variable": "KesProductFolder", "install_mode": 4, "removal_mode": -3}},
    {"tag": "fldr", "name": "data", "fields": {"variable": "DataFolder", "parent": "@app", "install_mode": 4,
      "removal_mode": -3}},
    {"tag": "file", "name": "program", "source": "in/app.dat", "fields": {"folder": "@app", "name": "app.dat",
      "install_mode": 5, "removal_mode": -3}},
    {"tag": "file", "name": "big", "source": "in/big.bin", "fields": {"folder": "@data", "name": "big.bin",
      "install_mode": 4, "removal_mode": -3}},
    {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve"}},
    {"tag": "a135", "name": "folders", "fields": {"name": "Folders"}},
    {"tag": "a115", "name": "files", "fields": {"name": "Files"}},
    {"tag": "aseq", "name": "main", "fields": {"name": "Main",
      "actions": ["@prepare", "@resolve", "@folders", "@files", "@complete"]}})";
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")", objects, Json(product)));

  Snapshot before;
  AddFiles(root, "drive", &before);
  uint64_t free_before = FreeBytes(root);
  ASSERT_LT(free_before, 6u * 1024 * 1024) << "the drive must be smaller than the package's big file";
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_NE(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("\\|112\n")) << "the disk-full error is logged\n" << run.log;
  EXPECT_TRUE(run.Has("QEL:I0057\\|")) << "rolled back\n" << run.log;

  Snapshot after;
  AddFiles(root, "drive", &after);
  std::string report;
  for (const std::string& line : Differences(before, after)) report += "\n  " + line;
  EXPECT_TRUE(report.empty()) << "the drive changed:" << report;
  EXPECT_EQ(FreeBytes(root), free_before);
  DeleteTree(product);
}
