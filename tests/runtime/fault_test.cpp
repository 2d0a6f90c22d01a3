// The last-resort handler in programs that really fault: exit code -1, E0001 in the log, the
// message on standard error for a console program and no message box for an unattended GUI one.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

#include "tests/runtime/windows_test_support.h"

using namespace test_support;

namespace {

std::string TextOf(const char16_t* text) {
  std::string out;
  for (; *text; ++text) out += char(*text);
  return out;
}

struct Case {
  const char16_t* program;
  const char16_t* arguments;
  const char* code;
  const char* flags;
  const char* stderr_text;
  bool finishes;  // the program's own last record is written
};

void Check(const Case& c) {
  TempFolder folder(u"fault_");
  std::u16string program = ProgramFolder() + c.program + u".exe";
  Finished run = RunProgram(u"\"" + program + u"\" " + c.arguments, folder.path(), 120000);
  std::string name = TextOf(c.arguments);
  ASSERT_FALSE(run.timed_out) << name;
  EXPECT_EQ(run.exit_code, 0xFFFFFFFFu) << name;
  EXPECT_EQ(run.error_output, c.stderr_text) << name;
  std::string log = ReadBytes(folder.File((std::u16string(c.program) + u".log").c_str()));
  std::regex e0001(std::string("0007C000\\|QEL:E0001\\|0000-[0-9A-F]{16}\\|") + c.code + "\\|" + c.flags +
                   "\\|[0-9A-F]{" + std::to_string(2 * sizeof(void*)) + "}\n");
  std::regex finished("000723E9\\|QEL:I1002\\|0000-[0-9A-F]{16}\\|-1\n");
  bool faulted = false, finishedOwnWork = false;
  for (const auto& line : Lines(log)) {
    faulted = faulted || std::regex_match(line, e0001);
    finishedOwnWork = finishedOwnWork || std::regex_match(line, finished);
  }
  EXPECT_TRUE(faulted) << name << "\n" << log;
  EXPECT_EQ(finishedOwnWork, c.finishes) << name << "\n" << log;
  EXPECT_NE(log.find("===== Closing log file =====\n"), std::string::npos) << name;
}

}  // namespace

TEST(LastResortHandler, FaultingProgramsEndWithMinusOne) {
  const char* kMessage = "Runtime error - terminating.\r\n";
  const Case cases[] = {
      {u"fault_probe", u"guarded", "0xC0000005", "0x00000000", kMessage, true},
      {u"fault_probe", u"pump", "0xC0000005", "0x00000000", kMessage, true},
      {u"fault_probe", u"oom", "0xEBAD0004", "0x00000001", kMessage, true},
      {u"fault_probe", u"unguarded", "0xC0000005", "0x00000000", kMessage, false},
      {u"fault_probe_gui", u"guarded quiet", "0xC0000005", "0x00000000", "", true},
  };
  for (const Case& c : cases) Check(c);
}
