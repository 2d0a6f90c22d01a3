// Setup.exe end to end: packages made by the package builder from inline projects, run as a script
// runs them (/q2), checked by the exit code, the log's records, the files and the product folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"

using namespace setup_run;
using namespace test_support;

namespace {

// The project with the database header's members `header` ("package_code": ...).
std::string WithHeader(const std::string& project, const std::string& header) {
  return "{\"header\": {" + header + "}," + project.substr(project.find('{') + 1);
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
// `release` is missing) until the test lets it go on; `header` gives the database header's members.
std::string LoopingProject(const Workspace& w, const std::u16string& release, const std::string& header) {
  std::string path = Json(release).substr(1, Json(release).size() - 2);
  return WithHeader(Project(w, R"(, "first_sequence": "@main")",
                 R"({"tag": "a000", "name": "idle", "fields": {"name": "Idle", "flags": 1}},
                    {"tag": "a003", "name": "again", "fields": {"name": "Again", "flags": 1,
                      "condition": "<$fexist()" + path + R"()> = 0"}},
                    {"tag": "aseq", "name": "main", "fields": {"name": "Main",
                     "actions": ["@prepare", "@idle", "@again", "@complete"]}})"),
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
      Build(w, LoopingProject(w, w.Path(u"release"), R"("package_code": "{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F40}")"));
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
      w, LoopingProject(w, w.Path(u"release"), R"("package_code": "{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F41}")"));
  std::u16string second =
      Build(other, WithHeader(Project(other, R"(, "first_sequence": "@main")",
                                      R"({"tag": "aseq", "name": "main", "fields": {"name": "Main",
                                         "actions": ["@prepare", "@complete"]}})"),
                              R"("package_code": "{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F42}")"));
  Overlap run = RunWhileLooping(w, first, other, second);
  EXPECT_EQ(run.second.exit_code, 0u) << run.second.log;
  EXPECT_TRUE(run.second.Has("QEL:I1110\\|[^|]*\\|\\{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F42\\}\\|0\n")) << run.second.log;
  EXPECT_FALSE(run.second.Has("already running"));
  EXPECT_EQ(run.first_code, 0u);
  EXPECT_TRUE(std::regex_search(run.first_log, std::regex("QEL:I1110\\|[^|]*\\|\\{0C6A4E21-7B3D-4F58-9E12-5A8C3D7B6F41\\}\\|0\n")))
      << run.first_log;
}
