// Setup.exe as a user starts it: exit codes from the process and the log it leaves in the
// temporary folder, checked line by line against the log formats.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"

using namespace test_support;

namespace {

constexpr char kStamp[] = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}";
constexpr char kPrefixTail[] = "\\|[0-9A-F]{4}-[0-9A-F]{16}";

struct SetupRun {
  DWORD exit_code;
  std::vector<std::string> lines;  // of the log, without the byte-order mark
  std::string log;
};

SetupRun RunSetup(const std::u16string& arguments) {
  TempFolder temp(u"e2e_");
  std::u16string command = u"\"" + SetupPath() + u"\"" + arguments;
  Finished finished = RunProgram(command, temp.path());
  SetupRun run{finished.exit_code, {}, {}};
  EXPECT_FALSE(finished.timed_out);
  std::vector<std::u16string> files = temp.Files();
  EXPECT_EQ(files.size(), 1u) << "one log file";
  if (files.empty()) return run;
  EXPECT_TRUE(std::regex_match(TextToUtf8(files[0]), std::regex("Setup[0-9A-F]{8}\\.log"))) << TextToUtf8(files[0]);
  run.log = ReadBytes(temp.File(files[0].c_str()));
  EXPECT_EQ(run.log.substr(0, 3), "\xEF\xBB\xBF");
  run.lines = Lines(run.log.substr(3));
  return run;
}

void ExpectFirstLines(const SetupRun& run, const std::u16string& commandLine) {
  ASSERT_GE(run.lines.size(), 4u) << run.log;
  EXPECT_TRUE(std::regex_match(run.lines[0], std::regex(std::string(kStamp) + " ===== Logging " +
                                                        RegexEscaped(TextToUtf8(SetupPath())) + " =====\n")))
      << run.lines[0];
  EXPECT_TRUE(std::regex_match(
      run.lines[1], std::regex(std::string("00072044\\|QEL:I0069") + kPrefixTail +
                               "\\|Ostrel setup library\\|11\\.8\\.7852\\.9329 \\(2025\\.07\\.16\\.1541Ux86 Lib Rel\\)"
                               "\\|Win32 \\(x86\\) Unicode Lib Rel\\|Build 7852\\.9329\n")))
      << run.lines[1];
  EXPECT_TRUE(std::regex_match(run.lines[2], std::regex(std::string("0007205D\\|QEL:I0094") + kPrefixTail + "\\|" +
                                                        RegexEscaped(TextToUtf8(commandLine)) + "\n")))
      << run.lines[2];
  EXPECT_TRUE(std::regex_match(run.lines.back(), std::regex(std::string(kStamp) + " ===== Closing log file =====\n")))
      << run.lines.back();
}

}  // namespace

TEST(SetupEndToEnd, UsageInQuietModeEndsWithNine) {
  std::u16string arguments = u" /q2 /p:Secret1 /?";
  SetupRun run = RunSetup(arguments);
  EXPECT_EQ(run.exit_code, 9u);
  ExpectFirstLines(run, u"\"" + SetupPath() + u"\" /q2 /p:*HIDDEN* /?");
  EXPECT_EQ(run.log.find("Secret1"), std::string::npos) << "the password never reaches the log";
  ASSERT_GE(run.lines.size(), 5u);
  EXPECT_TRUE(std::regex_match(run.lines[3], std::regex(std::string("0007200C\\|QEL:I0013") + kPrefixTail +
                                                        "\\|Common command line options \\(use /help for online "
                                                        "docs\\):##/b0\tDo not reboot.*##https://.*\\|0x00000040\\|1\n")))
      << run.lines[3];
}

TEST(SetupEndToEnd, RunWithoutPackageOrDatabaseEndsWithThree) {
  SetupRun run = RunSetup(u" /q2");
  EXPECT_EQ(run.exit_code, 3u);
  ExpectFirstLines(run, u"\"" + SetupPath() + u"\" /q2");
  EXPECT_TRUE(std::regex_search(run.log, std::regex("QEL:E0002\\|[^|]*\\|.*Setup\\.dat\\|2\n")));
  EXPECT_TRUE(std::regex_search(run.log, std::regex("QEL:I0013\\|[^|]*\\|.*Error 2 while loading archive")));
}
