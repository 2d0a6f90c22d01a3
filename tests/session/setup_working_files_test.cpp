// Setup.exe end to end with its working files: a fresh installation leaves the runtime copy
// "Setup.exe", "Setup.ico", "Readme.txt", the saved "Setup.dat" and the cache of support files in
// the product folder and nothing in the temporary folder; a failed one leaves none of them; the
// installed Setup.exe repairs the product later. Also the file search (a214) of a run.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "database/database_builder.h"
#include "database/database_file.h"
#include "runtime/buffered_file.h"
#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"
#include "tests/tools/pe_fixture.h"
#include "tools/kez/project_plan.h"

using namespace setup_run;
using namespace test_support;

namespace {

DWORD Attributes(const std::u16string& path) { return GetFileAttributesW(W(path)); }
bool Exists(const std::u16string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

// The names in `folder` (not below it).
std::vector<std::u16string> Names(const std::u16string& folder) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(folder + u"\\*"), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::u16string name = reinterpret_cast<const char16_t*>(found.cFileName);
    if (name != u"." && name != u"..") names.push_back(name);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

void DeleteLogs(const Workspace& w, const SetupRun& run) {
  for (const std::u16string& log : run.logs) DeleteFileW(W(w.Path(u"temp\\") + log));
}

// The project with top-level members `members` ("icon": ...) in front.
std::string WithMembers(const std::string& project, const std::string& members) {
  return "{" + members + "," + project.substr(project.find('{') + 1);
}

// Folder "app" (the product folder) with two files, a support file, and the main sequence:
// prepare, resolve, folders, files, then `after`, complete.
std::string Objects(const std::string& after = "") {
  return R"(
    {"tag": "fldr", "name": "app", "fields": {"variable": "KesProductFolder", "install_mode": 4, "removal_mode": -3}},
    {"tag": "a142", "name": "resolve", "fields": {"name": "Resolve", "progress_text_id": 565}},
    {"tag": "a135", "name": "folders", "fields": {"name": "Folders", "progress_text_id": 573}},
    {"tag": "a115", "name": "files", "fields": {"name": "Files", "progress_text_id": 543}},
    {"tag": "file", "name": "a", "source": "in/a.txt", "fields": {"folder": "@app", "name": "a.txt", "install_mode": 4, "removal_mode": -3}},
    {"tag": "file", "name": "b", "source": "in/b.txt", "fields": {"folder": "@app", "name": "b.txt", "install_mode": 4, "removal_mode": -3}},
    {"tag": "symb", "name": "v524", "fields": {"variable_id": 524, "name": "PackageFolder", "value": ""}},
    {"tag": "stof", "name": "helper", "source": "in/helper.txt", "fields": {"name": "helper.txt"}},
    {"tag": "a200", "name": "fail", "fields": {"name": "Fail", "flags": "0x10000", "description": "failing on purpose", "parameter": 1}},
    {"tag": "aseq", "name": "main", "fields": {"name": "Main",
      "actions": ["@prepare", "@resolve", "@folders", "@files", )" + after + R"("@complete"]}})";
}

class WorkingFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(W(w_.Path(u"in")), nullptr);
    Bytes icon = FixtureIcon({{16, 0xFF2040C0}, {32, 0xFF20C040}});
    icon_.assign(icon.begin(), icon.end());
    WriteBytes(w_.Path(u"in\\app.ico"), icon_);
    WriteBytes(w_.Path(u"in\\readme.txt"), "Read me first.\r\n");
    WriteBytes(w_.Path(u"in\\a.txt"), "file a");
    WriteBytes(w_.Path(u"in\\b.txt"), "file b");
    WriteBytes(w_.Path(u"in\\helper.txt"), "support file");
  }

  std::string ProjectText(const std::string& after = "") {
    return WithMembers(Project(w_, R"(, "first_sequence": "@main")", Objects(after)),
                       R"("icon": "in/app.ico", "readme": "in/readme.txt")");
  }

  // The runtime as the builder stamps it for the project, before the package is appended.
  std::string StampedRuntime(const std::string& project) {
    ProjectPlan plan;
    std::string message;
    EXPECT_EQ(ProjectParse(project, w_.Path(u""), SetupPath(), &plan, &message), 0u) << message;
    std::vector<uint8_t> image;
    std::vector<std::string> warnings;
    EXPECT_EQ(ProjectStampRuntime(plan, &image, &warnings, &message), 0u) << message;
    return std::string(image.begin(), image.end());
  }

  // Nothing of the run is left in the temporary folder but its log.
  void ExpectCleanTemporaryFolder(const SetupRun& run) {
    for (const std::u16string& name : Names(w_.Path(u"temp"))) {
      bool log = !run.logs.empty() && name == run.logs[0];
      EXPECT_TRUE(log) << "left in the temporary folder: " << Utf8(name);
    }
  }

  Workspace w_;
  std::string icon_;
};

}  // namespace

TEST_F(WorkingFiles, AnInstallationLeavesItsWorkingFilesInTheProductFolder) {
  std::string project = ProjectText();
  std::u16string setup = Build(w_, project);
  SetupRun run = Start(w_, setup, u"/q2");
  ASSERT_EQ(run.exit_code, 0u) << run.log;
  std::u16string product = w_.Path(u"Product");

  std::string copy = ReadBytes(product + u"\\Setup.exe");
  std::string stamped = StampedRuntime(project);
  ASSERT_FALSE(stamped.empty());
  EXPECT_EQ(copy.size(), stamped.size());
  EXPECT_TRUE(copy == stamped) << "the installed Setup.exe is the runtime without its package";
  EXPECT_EQ(ReadBytes(product + u"\\Setup.ico"), icon_);
  EXPECT_EQ(ReadBytes(product + u"\\Readme.txt"), "Read me first.\r\n");
  EXPECT_EQ(ReadBytes(product + u"\\Cache\\helper.txt"), "support file");
  EXPECT_TRUE(run.Has("QEL:A1194\\|[^|]*\\|[^|]*helper\\.txt\\|[^|]*Product\\\\Cache\\\\helper\\.txt\n")) << run.log;

  std::u16string saved = product + u"\\Setup.dat";
  DWORD attributes = Attributes(saved);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM),
            DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  BufferedFile stream{};
  ASSERT_EQ(BufferedOpenRead(&stream, saved.c_str(), kFileShareRead), 0u);
  ObjectTable* table = nullptr;
  EXPECT_EQ(DatabaseRead(&stream, 1, &table), 0u) << "the saved database reads back";
  BufferedClose(&stream);
  if (table) {
    EXPECT_NE(DatabaseHeaderU64(table, kHeaderInstallTime), 0u);
  }
  ObjectTableDestroy(table);
  EXPECT_FALSE(Exists(saved + u".new"));
  ExpectCleanTemporaryFolder(run);
}

TEST_F(WorkingFiles, AProductFolderEndingInASeparatorIsJoinedWithOne) {
  std::string project = WithMembers(Project(w_, R"(, "first_sequence": "@main")", Objects(), Json(w_.Path(u"Product\\"))),
                                    R"("icon": "in/app.ico")");
  SetupRun run = Start(w_, Build(w_, project), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  EXPECT_TRUE(run.Has("QEL:A0009\\|[^|]*\\|[^|]*\\|[^|]*[^\\\\]\\\\Product\\\\Setup\\.exe\n")) << run.log;
  EXPECT_TRUE(run.Has("QEL:I0008\\|[^|]*\\|[^|]*[^\\\\]\\\\Product\\\\Setup\\.dat\n")) << run.log;
  EXPECT_TRUE(Exists(w_.Path(u"Product\\Setup.exe")));
  EXPECT_EQ(ReadBytes(w_.Path(u"Product\\Setup.ico")), icon_);
  // Without a read-me the search for it read a payload entry's header: the files still install.
  EXPECT_TRUE(run.Has("QEL:E0036\\|[^|]*\\|FFFFFFFFFFFF0011\\|38\n")) << run.log;
  EXPECT_EQ(ReadBytes(w_.Path(u"Product\\a.txt")), "file a");
}

TEST_F(WorkingFiles, AFailedInstallationLeavesNoneOfThem) {
  std::u16string setup = Build(w_, ProjectText(R"("@fail", )"));
  SetupRun run = Start(w_, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 6u) << run.log;
  EXPECT_TRUE(run.Has("QEL:A0009\\|[^|]*\\|[^|]*SetupExe\\.\\$\\$\\$\\|[^|]*Product\\\\Setup\\.exe\n")) << run.log;
  EXPECT_FALSE(Exists(w_.Path(u"Product"))) << "the rollback removes the working files and the folder";
  ExpectCleanTemporaryFolder(run);
}

TEST_F(WorkingFiles, AFailedRuntimeCopyCancelsTheInstallation) {
  // The write fault that refuses to create the runtime copy "SetupExe.$$$" (an early write).
  std::u16string setup = Build(w_, ProjectText());
  bool found = false;
  for (int index = 1; index <= 40 && !found; ++index) {
    // Each try starts afresh: a refused earlier write may leave a run that completes.
    FolderDeleteTree(w_.Path(u"Product").c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
    FolderDeleteTree(w_.Path(u"temp").c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders | kTreeKeepFolder);
    std::wstring plan = L"write:" + std::to_wstring(index);
    FaultGuard fault(plan.c_str());
    SetupRun run = Start(w_, setup, u"/q2");
    DeleteLogs(w_, run);
    if (!run.Has("QEL:W1010\\|[^|]*\\|write\\|[0-9]+\\|[^\n]*SetupExe\\.\\$\\$\\$")) continue;
    found = true;
    EXPECT_TRUE(run.Has("QEL:E1190\\|[^|]*\\|[^|]*SetupExe\\.\\$\\$\\$\\|5\n")) << run.log;
    EXPECT_TRUE(run.Has("Error 5 while installing this file")) << "message 266";
    EXPECT_EQ(run.exit_code, 6u) << run.log;
    EXPECT_FALSE(Exists(w_.Path(u"Product")));
    run.logs.clear();
    ExpectCleanTemporaryFolder(run);
  }
  EXPECT_TRUE(found);
}

TEST_F(WorkingFiles, ARuntimeWithoutAPackageCannotCopyItself) {
  // The bare runtime of this tree started on the project's database: a fresh installation whose
  // executable carries no marker "qe11".
  ProjectPlan plan;
  std::string message;
  ASSERT_EQ(ProjectParse(ProjectText(), w_.Path(u""), SetupPath(), &plan, &message), 0u) << message;
  std::u16string database = w_.Path(u"out\\Fresh.dat");
  ASSERT_EQ(BuilderSaveToPath(plan.table, plan.save_time, database.c_str()), 0u);
  SetupRun run = Start(w_, SetupPath(), u"/q2 \"/d:" + database + u"\"");
  EXPECT_TRUE(run.Has("QEL:E1190\\|[^|]*\\|[^|]*SetupExe\\.\\$\\$\\$\\|11\n")) << run.log;
  EXPECT_TRUE(run.Has("Error 11 while installing this file")) << "message 266";
  EXPECT_EQ(run.exit_code, 6u);
  EXPECT_FALSE(Exists(w_.Path(u"Product")));
}

TEST_F(WorkingFiles, TheInstalledSetupRepairsTheProduct) {
  std::u16string setup = Build(w_, ProjectText());
  SetupRun install = Start(w_, setup, u"/q2");
  ASSERT_EQ(install.exit_code, 0u) << install.log;
  DeleteLogs(w_, install);
  std::u16string product = w_.Path(u"Product");
  std::u16string installed = product + u"\\Setup.exe";

  // A deleted file comes back: its data comes from the package, found in the folder the
  // installation found it in (the package folder the saved database keeps in variable 524).
  ASSERT_TRUE(DeleteFileW(W(product + u"\\a.txt")));
  ASSERT_TRUE(DeleteFileW(W(product + u"\\Readme.txt")));
  SetupRun repair = Start(w_, installed, u"/q2 /repair");
  EXPECT_EQ(repair.exit_code, 0u) << repair.log;
  EXPECT_EQ(ReadBytes(product + u"\\a.txt"), "file a");
  EXPECT_TRUE(repair.Has("QEL:I0012\\|[^|]*\\|[^|]*out\\\\Setup\\.exe\n")) << repair.log;
  EXPECT_TRUE(repair.Has("QEL:E0061\\|[^|]*\\|[^|]*Product\\\\Readme\\.txt\\|2\n")) << "logged, not fatal";
  EXPECT_EQ(Attributes(product + u"\\Setup.dat") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM),
            DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM))
      << "saved again over the read-only copy";
  EXPECT_TRUE(repair.Has("QEL:I0008\\|[^|]*\\|[^|]*Product\\\\Setup\\.dat\n"));
  DeleteLogs(w_, repair);

  // Without the package, a repair that needs no file data still runs; one that needs data fails
  // and rolls back.
  ASSERT_TRUE(MoveFileW(W(setup), W(w_.Path(u"out\\Moved.exe"))));
  SetupRun nothing = Start(w_, installed, u"/q2 /repair");
  EXPECT_EQ(nothing.exit_code, 0u) << nothing.log;
  EXPECT_FALSE(nothing.Has("QEL:I0012\\|")) << "the package is not opened";
  DeleteLogs(w_, nothing);
  ASSERT_TRUE(DeleteFileW(W(product + u"\\b.txt")));
  SetupRun missing = Start(w_, installed, u"/q2 /repair");
  EXPECT_EQ(missing.exit_code, 6u) << missing.log;
  EXPECT_TRUE(missing.Has("QEL:E0034\\|")) << missing.log;
  EXPECT_EQ(ReadBytes(product + u"\\a.txt"), "file a");
  DeleteLogs(w_, missing);

  // The package folder given with z: is where the package is looked for.
  ASSERT_TRUE(CreateDirectoryW(W(w_.Path(u"moved")), nullptr));
  ASSERT_TRUE(MoveFileW(W(w_.Path(u"out\\Moved.exe")), W(w_.Path(u"moved\\Setup.exe"))));
  SetupRun moved = Start(w_, installed, u"/q2 /repair \"/z:" + w_.Path(u"moved") + u"\"");
  EXPECT_EQ(moved.exit_code, 0u) << moved.log;
  EXPECT_EQ(ReadBytes(product + u"\\b.txt"), "file b");
}

TEST_F(WorkingFiles, TheProductsKeyTellsWhereThePackageLies) {
  const std::string key = "Software\\SetupTests\\KezPath" + std::to_string(GetCurrentProcessId());
  std::string objects = Objects() + R"(,
    {"tag": "symb", "name": "v411", "fields": {"variable_id": 411, "name": "ProductKey",
      "value": )" + Json(TextFromUtf8("HKEY_CURRENT_USER\\" + key)) + "}}";
  std::u16string setup = Build(w_, WithMembers(Project(w_, R"(, "first_sequence": "@main")", objects),
                                               R"("icon": "in/app.ico", "readme": "in/readme.txt")"));
  SetupRun install = Start(w_, setup, u"/q2");
  ASSERT_EQ(install.exit_code, 0u) << install.log;
  DeleteLogs(w_, install);
  // The package moves; the product's key says where to (as the product registration records it).
  ASSERT_TRUE(CreateDirectoryW(W(w_.Path(u"moved")), nullptr));
  ASSERT_TRUE(MoveFileW(W(setup), W(w_.Path(u"moved\\Setup.exe"))));
  std::u16string subkey = TextFromUtf8(key), folder = w_.Path(u"moved");
  HKEY opened;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(subkey), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr), 0);
  RegSetValueExW(opened, L"KezPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 DWORD((folder.size() + 1) * 2));
  RegCloseKey(opened);
  ASSERT_TRUE(DeleteFileW(W(w_.Path(u"Product\\a.txt"))));
  SetupRun repair = Start(w_, w_.Path(u"Product\\Setup.exe"), u"/q2 /repair");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\SetupTests");
  EXPECT_EQ(repair.exit_code, 0u) << repair.log;
  EXPECT_TRUE(repair.Has("QEL:I1198\\|[^|]*\\|Probe\\|[^|]*\\|[^|]*moved\\|0\n")) << repair.log;
  EXPECT_EQ(ReadBytes(w_.Path(u"Product\\a.txt")), "file a");
}

TEST_F(WorkingFiles, ASaveThatFailsKeepsTheSavedDatabase) {
  SetupRun install = Start(w_, Build(w_, ProjectText()), u"/q2");
  ASSERT_EQ(install.exit_code, 0u) << install.log;
  DeleteLogs(w_, install);
  std::u16string saved = w_.Path(u"Product\\Setup.dat");
  // The write fault that refuses the repair's new copy "Setup.dat.new".
  bool found = false;
  for (int index = 1; index <= 40 && !found; ++index) {
    std::string before = ReadBytes(saved);
    std::wstring plan = L"write:" + std::to_wstring(index);
    FaultGuard fault(plan.c_str());
    SetupRun run = Start(w_, w_.Path(u"Product\\Setup.exe"), u"/q2 /repair");
    DeleteLogs(w_, run);
    if (!run.Has("QEL:W1010\\|[^|]*\\|write\\|[0-9]+\\|[^\n]*Setup\\.dat\\.new")) continue;
    found = true;
    EXPECT_EQ(run.exit_code, 4u) << run.log;
    EXPECT_TRUE(run.Has("QEL:E0003\\|[^|]*\\|[^|]*Product\\\\Setup\\.dat\\|5\n")) << run.log;
    EXPECT_TRUE(run.Has("Error 5 while saving archive")) << "message 486";
    EXPECT_EQ(ReadBytes(saved), before) << "the copy saved before stays as it was";
    EXPECT_EQ(Attributes(saved) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_FALSE(Exists(saved + u".new"));
  }
  EXPECT_TRUE(found);
}

TEST(SetupFileSearch, FirstMatchGoesIntoTheVariable) {
  Workspace w;
  std::u16string root = w.Path(u"search");
  for (const char16_t* folder : {u"", u"\\first", u"\\second", u"\\second\\sub", u"\\deep", u"\\deep\\a",
                                 u"\\deep\\a\\b"})
    CreateDirectoryW(W(root + folder), nullptr);
  WriteBytes(root + u"\\second\\marker.txt", "x");
  WriteBytes(root + u"\\deep\\a\\b\\marker.txt", "x");
  struct Case {
    const char* variable;
    uint32_t options;
    const char* name;
    std::string folders;
    std::string expected;  // empty: left unchanged
  };
  std::string r = Utf8(root);
  const Case kCases[] = {
      {"InFolder", 0, "marker.txt", r + "\\first;" + r + "\\second", r + "\\second"},
      {"FullPath", 2, "marker.txt", r + "\\first;" + r + "\\second", r + "\\second\\marker.txt"},
      {"Recursive", 1, "marker.txt", r + "\\first;" + r + "\\deep", r + "\\deep\\a\\b"},
      {"NotRecursive", 0, "marker.txt", r + "\\deep", ""},
      {"AFolder", 4, "sub", r + "\\first;" + r + "\\second", r + "\\second"},
      {"AFolderIsNoFile", 0, "sub", r + "\\second", ""},
      {"EmptyList", 0, "marker.txt", "", ""},
  };
  std::string objects, actions;
  int index = 0;
  for (const Case& c : kCases) {
    std::string id = std::to_string(1100 + index++);
    std::string json = Json(TextFromUtf8(c.folders));
    objects += R"({"tag": "symb", "name": "v)" + id + R"(", "fields": {"variable_id": )" + id + R"(, "name": ")" +
               c.variable + R"(", "value": "unchanged"}},
      {"tag": "a214", "name": "s)" + id + R"(", "fields": {"name": "Search", "progress_text_id": 572, "options": )" +
               std::to_string(c.options) + R"(, "variable": ")" + c.variable + R"(", "file_name": ")" + c.name +
               R"(", "folders": )" + json + "}},\n";
    actions += "\"@s" + id + "\", ";
  }
  objects += R"({"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": [)" + actions + R"("@prepare", "@complete"]}})";
  SetupRun run = Start(w, Build(w, Project(w, R"(, "first_sequence": "@main")", objects)), u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  for (const Case& c : kCases) {
    std::string set = std::string("QEL:A1512\\|[^|]*\\|") + c.variable + "\\|unchanged\\|";
    if (c.expected.empty()) {
      EXPECT_FALSE(run.Has(set)) << c.variable;
    } else {
      std::string escaped;
      for (char ch : c.expected) escaped += (ch == '\\' || ch == '.') ? std::string("\\") + ch : std::string(1, ch);
      EXPECT_TRUE(run.Has(set + escaped + "\n")) << c.variable << "\n" << run.log;
    }
  }
}
