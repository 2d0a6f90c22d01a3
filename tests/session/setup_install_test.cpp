// Setup.exe end to end: packages made by the package builder from inline projects, run as a script
// runs them (/q2), checked by the exit code, the log's records, the files and the product folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tools/kez/project_build.h"

using namespace test_support;

namespace {

std::string Utf8(const std::u16string& text) { return TextToUtf8(text); }

// A JSON string literal of a path.
std::string Json(const std::u16string& text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A folder tree of the test, removed with everything in it (read-only files too).
class Workspace {
 public:
  Workspace() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    wchar_t name[32];
    wsprintfW(name, L"setup_e2e_%08lX", GetTickCount() ^ (GetCurrentProcessId() << 12));
    root_ = reinterpret_cast<const char16_t*>(temp);
    root_ += reinterpret_cast<const char16_t*>(name);
    CreateDirectoryW(W(root_), nullptr);
    for (const char16_t* sub : {u"\\out", u"\\temp"}) CreateDirectoryW(W(root_ + sub), nullptr);
  }
  ~Workspace() { FolderDeleteTree(root_.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders); }
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

// The session variables and the installation record every project here carries; `objects` adds
// sequences and actions; `inst` adds fields to the installation record; `header` (may be empty)
// adds the database header's members.
std::string Project(const Workspace& w, const std::string& inst, const std::string& objects,
                    const std::string& header = "") {
  std::string variables;
  const std::pair<int, const char*> kVariables[] = {
      {502, "ExitCode"}, {503, "Installed"},     {505, "UiLevel"},  {506, "RestartMode"},
      {507, "RestartNeeded"}, {508, "InstallMode"}, {509, "InstallState"}, {530, "MessageTimeout"},
      {501, "MainText"}, {500, "DetailText"},   {504, "Position"}, {413, "SessionTemp"}};
  for (const auto& v : kVariables)
    variables += R"({"tag": "symb", "name": "v)" + std::to_string(v.first) + R"(", "fields": {"variable_id": )" +
                 std::to_string(v.first) + R"(, "name": ")" + v.second + R"(", "value": "0"}},)" "\n";
  return R"({
  "header": {)" + header + R"(},
  "output": {"package": "Setup.exe", "method": "zlib", "level": 1},
  "objects": [
    {"tag": "inst", "name": "installation", "fields": {"product": "Probe", "abort_mask": "0xFFFFFFFF",
      "flags": "0x4")" + inst + R"(}},
    {"tag": "symb", "name": "product_folder", "fields": {"variable_id": 409, "name": "KesProductFolder",
      "value": )" + Json(w.Path(u"Product")) + R"(}},
    {"tag": "symb", "name": "greeting", "fields": {"variable_id": 1000, "name": "Greeting", "value": "none"}},
    )" + variables + R"(
    {"tag": "a100", "name": "prepare", "fields": {"name": "Prepare", "progress_text_id": 528}},
    {"tag": "a101", "name": "complete", "fields": {"name": "Complete", "progress_text_id": 529}},
    {"tag": "a213", "name": "greet", "fields": {"name": "Greet", "variable": "Greeting", "value": "hello from <KesProductFolder>"}},
    )" + objects + R"(
  ]
})";
}

std::u16string Build(const Workspace& w, const std::string& project) {
  ProjectBuildOptions options;
  options.output = w.Path(u"out");
  options.runtime = SetupPath();
  options.quiet = true;
  std::string message;
  uint32_t err = ProjectBuild(project, w.Path(u""), options, &message);
  EXPECT_EQ(err, 0u) << message;
  return w.Path(u"out\\Setup.exe");
}

SetupRun Start(const Workspace& w, const std::u16string& program, const std::u16string& arguments) {
  SetupRun run;
  Finished finished = RunProgram(u"\"" + program + u"\" " + arguments, w.Path(u"temp"));
  EXPECT_FALSE(finished.timed_out);
  run.exit_code = finished.exit_code;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(W(w.Path(u"temp\\*.log")), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do run.logs.push_back(reinterpret_cast<const char16_t*>(data.cFileName));
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  EXPECT_EQ(run.logs.size(), 1u);
  if (!run.logs.empty()) {
    std::string bytes = ReadBytes(w.Path(u"temp\\") + run.logs[0]);
    run.log = bytes.size() >= 3 ? bytes.substr(3) : bytes;
  }
  return run;
}

uint32_t Attributes(const std::u16string& path) { return GetFileAttributesW(W(path)); }

}  // namespace

TEST(SetupInstall, CompletedInstallationCommitsAndSavesTheDatabase) {
  Workspace w;
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")",
                                          R"({"tag": "aseq", "name": "main", "fields": {"name": "Main",
                                             "actions": ["@prepare", "@greet", "@complete"]}})"));
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 0u) << run.log;
  ASSERT_EQ(run.logs.size(), 1u);
  EXPECT_TRUE(std::regex_match(Utf8(run.logs[0]), std::regex("Probe-\\d{8}T\\d{6}-Install\\.log")))
      << Utf8(run.logs[0]);
  EXPECT_TRUE(run.Has("QEL:I0012\\|[^|]*\\|.*Setup\\.exe\n")) << "the package was opened";
  EXPECT_TRUE(run.Has("QEL:A0006\\|[^|]*\\|.*\\.dat\n"));
  EXPECT_TRUE(run.Has("QEL:I1731\\|[^|]*\\|Probe\\|1\\|"));
  EXPECT_TRUE(run.Has("QEL:A1512\\|[^|]*\\|Greeting\\|none\\|hello from .*Product\n"));
  EXPECT_TRUE(run.Has("QEL:I1172\\|[^|]*\\|1\\|2\n"));
  EXPECT_TRUE(run.Has("QEL:I0059"));
  EXPECT_TRUE(run.Has("QEL:I0008\\|[^|]*\\|.*Product\\\\Setup\\.dat\n"));
  EXPECT_TRUE(run.Has("QEL:I0060"));
  EXPECT_FALSE(run.Has("QEL:I0057"));
  EXPECT_TRUE(run.Has("===== Closing log file =====\n$"));
  uint32_t attributes = Attributes(w.Path(u"Product\\Setup.dat"));
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM),
            uint32_t(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  std::string saved = ReadBytes(w.Path(u"Product\\Setup.dat"));
  ASSERT_GE(saved.size(), 256u);
  EXPECT_EQ(saved.substr(0, 4), "kes9");
  EXPECT_NE(saved.substr(48, 8), std::string(8, '\0')) << "the saved database carries its installation time";
}

TEST(SetupInstall, StoppingBeforeCompletionRollsBack) {
  Workspace w;
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")",
                                          R"({"tag": "a004", "name": "stop", "fields": {"name": "Stop"}},
                                             {"tag": "aseq", "name": "main", "fields": {"name": "Main",
                                             "actions": ["@prepare", "@greet", "@stop", "@complete"]}})"));
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 6u) << run.log;
  EXPECT_TRUE(run.Has("QEL:I1172\\|[^|]*\\|1\\|1\n"));
  EXPECT_TRUE(run.Has("QEL:I0057"));
  EXPECT_TRUE(run.Has("QEL:W0001\\|[^|]*\\|-1\\|6\n"));
  EXPECT_TRUE(run.Has("QEL:I3210\\|[^|]*\\|Rolling back the installation\\.\\.\\.\n"));
  EXPECT_TRUE(run.Has("QEL:I0058"));
  EXPECT_FALSE(run.Has("QEL:I1708\\|[^|]*\\|Complete\\|"));
  EXPECT_EQ(Attributes(w.Path(u"Product\\Setup.dat")), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(std::regex_match(Utf8(run.logs[0]), std::regex("Probe-\\d{8}T\\d{6}-Install\\.log")));
}

TEST(SetupInstall, NeededRestartWithRestartModeZeroEndsWithTwelve) {
  const std::pair<std::string, std::u16string> cases[] = {
      {R"({"tag": "a213", "name": "ask_restart", "fields": {"name": "Ask restart", "variable": "RestartNeeded", "value": "1"}},
          {"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@prepare", "@ask_restart", "@complete"]}})",
       u"/q2"},
      {R"({"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@prepare", "@complete"]}})",
       u"/q2 RestartNeeded=1"},
  };
  for (const auto& c : cases) {
    Workspace w;
    std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main", "restart_mode": 0)", c.first));
    SetupRun run = Start(w, setup, c.second);
    EXPECT_EQ(run.exit_code, 12u) << run.log;
    EXPECT_TRUE(run.Has("QEL:I0060"));
    EXPECT_TRUE(run.Has("QEL:I1100\\|[^|]*\\|0\\|12\n"));
    EXPECT_FALSE(run.Has("QEL:A0003")) << "restart mode 0 never restarts";
    EXPECT_NE(Attributes(w.Path(u"Product\\Setup.dat")), INVALID_FILE_ATTRIBUTES);
  }
}

TEST(SetupInstall, MissingFirstSequenceEndsWithNineteen) {
  Workspace w;
  std::u16string setup = Build(w, Project(w, "", R"({"tag": "aseq", "name": "unused", "fields": {"name": "Unused",
                                                       "actions": ["@prepare"]}})"));
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 19u) << run.log;
  EXPECT_TRUE(run.Has("QEL:E1723\\|[^|]*\\|0000000000000000\n"));
  EXPECT_TRUE(run.Has("QEL:I0057"));
}

TEST(SetupInstall, CancelledSequenceAndQuestionInQuietMode) {
  // Quiet: the cancel question takes its default, No; the cancelling sequence then ends with -4,
  // which the top-level run records as 19, and the unfinished installation is rolled back.
  Workspace w;
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")",
                                          R"({"tag": "a107", "name": "ask", "fields": {"name": "Ask", "progress_text_id": 535}},
                                             {"tag": "aseq", "name": "main", "fields": {"name": "Main",
                                             "actions": ["@prepare", "@ask", "@complete"]}})"));
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 19u) << run.log;
  EXPECT_TRUE(run.Has("QEL:I0013\\|[^|]*\\|The installation of Probe is not complete yet\\.##Do you want to cancel anyway\\?\\|0x00000124\\|7\n"));
  EXPECT_TRUE(run.Has("QEL:I0057"));
}

TEST(SetupInstall, DatabaseWithoutInstallationRecordEndsWithThree) {
  Workspace w;
  ClassRegistryRegisterSetupClasses();
  ObjectTable* table = BuilderCreateTable();
  BuilderAddObject(table, TagOf("aseq"), 5);
  ASSERT_EQ(BuilderSaveToPath(table, 1, w.Path(u"out\\Setup.dat").c_str()), 0u);
  ObjectTableDestroy(table);
  SetupRun run = Start(w, SetupPath(), u"/q2 \"/d:" + w.Path(u"out\\Setup.dat") + u"\"");
  EXPECT_EQ(run.exit_code, 3u) << run.log;
  EXPECT_TRUE(run.Has("QEL:E0002\\|[^|]*\\|.*Setup\\.dat\\|13\n"));
  EXPECT_TRUE(run.Has("QEL:I0013\\|[^|]*\\|.*Error 13 while loading archive:#"));
}

TEST(SetupInstall, DamagedPackageEndsWithThree) {
  Workspace w;
  std::u16string setup = Build(w, Project(w, R"(, "first_sequence": "@main")",
                                          R"({"tag": "aseq", "name": "main", "fields": {"name": "Main",
                                             "actions": ["@prepare", "@complete"]}})"));
  std::string bytes = ReadBytes(setup);
  ASSERT_GT(bytes.size(), 0x40u);
  uint32_t offset = uint8_t(bytes[0x34]) | uint8_t(bytes[0x35]) << 8 | uint8_t(bytes[0x36]) << 16 |
                    uint32_t(uint8_t(bytes[0x37])) << 24;
  ASSERT_LT(offset + 200u, bytes.size());
  bytes[offset + 100] = char(bytes[offset + 100] ^ 0x5A);  // inside the compressed stream
  WriteBytes(setup, bytes);
  SetupRun run = Start(w, setup, u"/q2");
  EXPECT_EQ(run.exit_code, 3u) << run.log;
  EXPECT_TRUE(run.Has("QEL:E0035\\|[^|]*\\|.*Setup\\.exe\\|23\n"));
  EXPECT_TRUE(run.Has("QEL:E0002\\|[^|]*\\|.*Setup\\.exe\\|23\n"));
  EXPECT_TRUE(run.Has("Error 23 while loading archive"));
}

TEST(SetupInstall, UsageEndsWithNine) {
  Workspace w;
  SetupRun run = Start(w, SetupPath(), u"/q2 /?");
  EXPECT_EQ(run.exit_code, 9u);
  EXPECT_TRUE(run.Has("QEL:I0013\\|[^|]*\\|Common command line options"));
}

// A project whose run waits in a loop (a no-op action and a Back action whose condition holds while
// `release` is missing) until the test lets it go on.
std::string LoopingProject(const Workspace& w, const std::u16string& release, const std::string& inst,
                           const std::string& header) {
  std::string path = Json(release).substr(1, Json(release).size() - 2);
  return Project(w, R"(, "first_sequence": "@main")" + inst,
                 R"({"tag": "a000", "name": "idle", "fields": {"name": "Idle", "flags": 1}},
                    {"tag": "a003", "name": "again", "fields": {"name": "Again", "flags": 1,
                      "condition": "<$fexist()" + path + R"()> = 0"}},
                    {"tag": "aseq", "name": "main", "fields": {"name": "Main",
                     "actions": ["@prepare", "@idle", "@again", "@complete"]}})",
                 header);
}

// The text of the first log file in `folder`; empty when there is none.
std::string LogIn(const std::u16string& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(W(folder + u"\\*.log"), &data);
  if (find == INVALID_HANDLE_VALUE) return {};
  FindClose(find);
  return ReadBytes(folder + u"\\" + reinterpret_cast<const char16_t*>(data.cFileName));
}

// Two runs at once: `first` (a looping project of `w`, released by w's file "release") starts and
// waits in its loop; `second` (of the workspace `other`) runs to its end; then the first goes on.
struct Overlap {
  SetupRun second;
  DWORD first_code = STILL_ACTIVE;
  std::string first_log;
};

Overlap RunWhileLooping(const Workspace& w, const std::u16string& first, const Workspace& other,
                        const std::u16string& second) {
  Overlap overlap;
  std::u16string temp = w.Path(u"first");
  CreateDirectoryW(W(temp), nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(StartProgram(u"\"" + first + u"\" /q2", temp, &startup, FALSE, &process));
  bool looping = false;
  for (int i = 0; i < 600 && !looping; ++i) {
    Sleep(100);
    looping = LogIn(temp).find("|Idle|") != std::string::npos;
  }
  EXPECT_TRUE(looping);
  overlap.second = Start(other, second, u"/q2");
  WriteBytes(w.Path(u"release"), "go");
  overlap.first_code = FinishProgram(&process, 120000);
  overlap.first_log = LogIn(temp);
  return overlap;
}

TEST(SetupInstall, SecondInstanceOfTheSamePackageEndsWithTwenty) {
  Workspace w;
  std::u16string setup =
      Build(w, LoopingProject(w, w.Path(u"release"), "", R"("package_code": "{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F40}")"));
  Overlap run = RunWhileLooping(w, setup, w, setup);
  EXPECT_EQ(run.second.exit_code, 20u) << run.second.log;
  // The name is the package's own code, stamped into the version resource by the builder.
  EXPECT_TRUE(run.second.Has("QEL:I1110\\|[^|]*\\|\\{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F40\\}\\|183\n")) << run.second.log;
  EXPECT_TRUE(run.second.Has("QEL:I0013\\|[^|]*\\|The product installer is already running\\|"));
  EXPECT_EQ(run.first_code, 0u) << "the first run goes on and completes";
}

TEST(SetupInstall, TwoProductsInstallAtTheSameTime) {
  Workspace w, other;
  std::u16string first = Build(
      w, LoopingProject(w, w.Path(u"release"), "", R"("package_code": "{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F41}")"));
  std::u16string second =
      Build(other, Project(other, R"(, "first_sequence": "@main")",
                           R"({"tag": "aseq", "name": "main", "fields": {"name": "Main", "actions": ["@prepare", "@complete"]}})",
                           R"("package_code": "{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F42}")"));
  Overlap run = RunWhileLooping(w, first, other, second);
  EXPECT_EQ(run.second.exit_code, 0u) << run.second.log;
  EXPECT_TRUE(run.second.Has("QEL:I1110\\|[^|]*\\|\\{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F42\\}\\|0\n")) << run.second.log;
  EXPECT_FALSE(run.second.Has("already running"));
  EXPECT_EQ(run.first_code, 0u);
  EXPECT_TRUE(std::regex_search(run.first_log, std::regex("QEL:I1110\\|[^|]*\\|\\{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F41\\}\\|0\n")))
      << run.first_log;
}
