// The command line: splitting, response files, switches and verbs, assignments, the joined line
// and the values published to the database.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/scramble.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/command_line_assignments.h"
#include "session/command_line_split.h"
#include "session/command_line_switches.h"
#include "session/command_line_values.h"
#include "session/session_password.h"

namespace {

using Args = std::vector<std::u16string>;

Args Split(const char16_t* text, bool responseFiles = true) {
  ArgumentVector vector{};
  CommandLineSplit(text, responseFiles, &vector);
  Args args(vector.texts, vector.texts + vector.count);
  ArgumentFree(&vector);
  return args;
}

// Response files written into the current folder, removed after each test; trace records kept.
class ResponseFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    records().clear();
    TraceSetSink(&kSink);
  }
  void TearDown() override {
    TraceSetSink(nullptr);
    for (const auto& name : written_) FileDelete(name.c_str());
  }
  void Write(const std::u16string& name, const std::string& bytes) {
    FileHandle file;
    ASSERT_EQ(FileCreateWrite(name.c_str(), 0, &file), 0u);
    ASSERT_EQ(FileWrite(file, bytes.data(), uint32_t(bytes.size())), 0u);
    FileClose(file);
    written_.push_back(name);
  }
  static std::vector<std::u16string>& records() {
    static std::vector<std::u16string> lines;
    return lines;
  }
  static bool Traced(const char16_t* code) {
    for (const auto& line : records())
      if (line.find(code) != std::u16string::npos) return true;
    return false;
  }
  static constexpr TraceSink kSink = {[](void*, const char16_t* line, size_t n) { records().emplace_back(line, n); },
                                      nullptr};
  std::vector<std::u16string> written_;
};

std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    char high = char(c >> 8), low = char(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

}  // namespace

TEST(CommandLineSplit, Tokens) {
  struct Case {
    const char16_t* line;
    Args args;
  } cases[] = {
      {u"prog a  b", {u"prog", u"a", u"b"}},
      {u"\"C:\\Program Files\\S.exe\" /q \"a b\"", {u"C:\\Program Files\\S.exe", u"/q", u"a b"}},
      {u"p a\"b c\"d", {u"p", u"ab cd"}},
      {u"p \"say \"\"hi\"\"\"", {u"p", u"say \"hi\""}},
      {u"p 'a b' `c d` 'it''s'", {u"p", u"a b", u"c d", u"it's"}},
      {u"p \"a'b\" 'x\"y'", {u"p", u"a'b", u"x\"y"}},
      {u"p\ta\nb\x01" u"c", {u"p", u"a", u"b", u"c"}},
      {u"p \"open", {u"p", u"open"}},
      {u"p \"\" x", {u"p", u"", u"x"}},
      {u"   ", {}},
      {u"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.line), c.args) << TextToUtf8(c.line);
}

TEST_F(ResponseFiles, EachEncodingWithCommentsAndLineEnds) {
  Write(u"rf_utf8.rsp", "\xEF\xBB\xBF/q2\r\n# comment /f\r\n\"a b\" \xC3\xA9t\xC3\xA9\r\nlast");
  Write(u"rf_le.rsp", Utf16(u"/b0\r\n#skip me\r\nNAME=\x263A\r\n", false));
  Write(u"rf_be.rsp", Utf16(u"# first line is a comment\n$Docs=2\nx#y\n", true));
  Write(u"rf_ansi.rsp", "caf\xE9 ok\n  #not a comment\n");
  EXPECT_EQ(Split(u"S.exe @rf_utf8.rsp"), (Args{u"S.exe", u"/q2", u"a b", u"\u00E9t\u00E9", u"last"}));
  EXPECT_EQ(Split(u"S.exe @rf_le.rsp"), (Args{u"S.exe", u"/b0", u"NAME=\x263A"}));
  EXPECT_EQ(Split(u"S.exe @rf_be.rsp end"), (Args{u"S.exe", u"$Docs=2", u"x#y", u"end"}));
  EXPECT_EQ(Split(u"S.exe @rf_ansi.rsp"), (Args{u"S.exe", u"caf\u00E9", u"ok", u"#not", u"a", u"comment"}));
}

TEST_F(ResponseFiles, EnvironmentReferencesExpandOnlyInPlainTokensOfFiles) {
  PlatformSetEnvironment(u"SETUP_TEST_FOLDER", u"C:\\Src");
  PlatformSetEnvironment(u"SETUP_TEST_UNSET_NAME", nullptr);
  Write(u"rf_env.rsp",
        "%SETUP_TEST_FOLDER%\\a /s:%SETUP_TEST_FOLDER% '%SETUP_TEST_FOLDER%' \"x%SETUP_TEST_FOLDER%\"\n"
        "%SETUP_TEST_UNSET_NAME% 100% %% a%%b\n");
  EXPECT_EQ(Split(u"S.exe @rf_env.rsp %SETUP_TEST_FOLDER%"),
            (Args{u"S.exe", u"C:\\Src\\a", u"/s:%SETUP_TEST_FOLDER%", u"%SETUP_TEST_FOLDER%", u"xC:\\Src",
                  u"%SETUP_TEST_UNSET_NAME%", u"100%", u"%%", u"a%%b", u"%SETUP_TEST_FOLDER%"}));
  PlatformSetEnvironment(u"SETUP_TEST_FOLDER", nullptr);
}

TEST_F(ResponseFiles, WhichTokensNameAFile) {
  Write(u"rf_one.rsp", "one");
  Write(u"rf_nested.rsp", "before @rf_one.rsp after");
  Write(u"rf_empty.rsp", "");
  EXPECT_EQ(Split(u"@rf_one.rsp @rf_one.rsp"), (Args{u"@rf_one.rsp", u"one"})) << "the program path is not a file";
  EXPECT_EQ(Split(u"S \"@rf_one.rsp\" '@rf_one.rsp' `@rf_one.rsp` -@rf_one.rsp /@rf_one.rsp"),
            (Args{u"S", u"one", u"@rf_one.rsp", u"@rf_one.rsp", u"-@rf_one.rsp", u"/@rf_one.rsp"}));
  EXPECT_EQ(Split(u"S @rf_nested.rsp"), (Args{u"S", u"before", u"one", u"after"}));
  EXPECT_EQ(Split(u"S @rf_empty.rsp x"), (Args{u"S", u"x"}));
  EXPECT_EQ(Split(u"S @rf_missing.rsp @"), (Args{u"S", u"@rf_missing.rsp", u"@"}));
  EXPECT_EQ(Split(u"S @rf_one.rsp", false), (Args{u"S", u"@rf_one.rsp"})) << "without response files";
}

TEST_F(ResponseFiles, AFileThatIncludesItselfIsReadOnceAndKeptAsArgument) {
  Write(u"rf_self.rsp", "a\n@rf_self.rsp\nb");
  Write(u"rf_ping.rsp", "ping @rf_pong.rsp");
  Write(u"rf_pong.rsp", "pong @rf_ping.rsp");
  EXPECT_EQ(Split(u"S @rf_self.rsp"), (Args{u"S", u"a", u"@rf_self.rsp", u"b"}));
  EXPECT_EQ(Split(u"S @rf_ping.rsp"), (Args{u"S", u"ping", u"pong", u"@rf_ping.rsp"}));
  EXPECT_TRUE(Traced(u"QEL:W1102"));
}

TEST_F(ResponseFiles, FanOutOfFilesStaysBounded) {
  // Each file names the next twice: without limits 2^20 reads.
  for (int i = 0; i < 20; ++i) {
    std::string next = "@rf_fan" + std::to_string(i + 1) + ".rsp";
    Write(TextFromUtf8("rf_fan" + std::to_string(i) + ".rsp"), "x " + next + " " + next);
  }
  Write(u"rf_fan20.rsp", "leaf");
  Args args = Split(u"S @rf_fan0.rsp");
  EXPECT_LT(args.size(), 200u);
  EXPECT_TRUE(Traced(u"QEL:W1102"));
}

TEST_F(ResponseFiles, BinaryHugeAndFloodingFiles) {
  std::string binary;
  for (int i = 0; i < 65536; ++i) binary += char((i * 7919) & 0xFF);
  Write(u"rf_binary.rsp", binary);
  Args args = Split(u"S @rf_binary.rsp");
  EXPECT_GT(args.size(), 1u);

  std::string line(3u << 20, 'x');
  Write(u"rf_line.rsp", line + "\ny");
  args = Split(u"S @rf_line.rsp");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[1].size(), line.size());

  Write(u"rf_huge.rsp", std::string(kResponseFileMaxBytes + 1, 'a'));
  EXPECT_EQ(Split(u"S @rf_huge.rsp"), (Args{u"S", u"@rf_huge.rsp"}));
  EXPECT_TRUE(Traced(u"QEL:W1103"));

  std::string flood;
  for (int i = 0; i < 50000; ++i) flood += "@rf_nothing.rsp\n";
  Write(u"rf_flood.rsp", flood);
  args = Split(u"S @rf_flood.rsp");
  EXPECT_EQ(args.size(), 50001u) << "every token kept, only the first attempts open a file";

  std::string many;
  for (int i = 0; i < 70000; ++i) many += "a ";
  Write(u"rf_many.rsp", many);
  args = Split(u"S @rf_many.rsp");
  EXPECT_EQ(args.size(), size_t(kCommandLineMaxArguments));
  EXPECT_TRUE(Traced(u"QEL:W1101"));
}

namespace {

struct Parsed {
  SessionState* session;
  int result;
  int usage, help;
};

int g_usage, g_help;
const SwitchActions kFakeActions = {[](SessionState*) { ++g_usage; }, [](SessionState*) { ++g_help; },
                                    []() -> uint16_t { return 0x0407; }};

class Switches : public ::testing::Test {
 protected:
  void TearDown() override { SessionFree(session_); }
  SessionState* Parse(Args args) {
    SessionFree(session_);
    session_ = SessionCreate(0x5EED1234);
    args.insert(args.begin(), u"Setup.exe");
    for (const auto& a : args) ArgumentAppend(&session_->arguments, a.c_str(), a.size());
    g_usage = g_help = 0;
    result_ = CommandLineParseSwitches(session_, &kFakeActions);
    return session_;
  }
  SessionState* session_ = nullptr;
  int result_ = 0;
};

std::string Password(const SessionState* s) {
  uint8_t plain[kRememberedPasswordSize];
  uint32_t length = SessionRevealPassword(s, plain);
  std::string text(reinterpret_cast<char*>(plain), length);
  WipeMemory(plain, sizeof plain);
  return text;
}

}  // namespace

TEST_F(Switches, Defaults) {
  SessionState* s = Parse({});
  EXPECT_EQ(s->run_mode, kRunModeUnknown);
  EXPECT_EQ(s->quiet_level, 0);
  EXPECT_EQ(s->restart_mode, -1);
  EXPECT_EQ(s->error_abort_mask, 0xFFFFFFFFu);
  EXPECT_EQ(s->value_a, -1);
  EXPECT_EQ(s->verification_option, -1);
  EXPECT_EQ(s->language_request, kNoLanguageRequest);
  EXPECT_EQ(s->show_command, 10);
  EXPECT_EQ(Password(s), "");
  EXPECT_EQ(result_, kParseContinue);
}

TEST_F(Switches, NumbersAndLetters) {
  struct Case {
    Args args;
    int32_t SessionState::*field;
    int32_t value;
  } cases[] = {
      {{u"/Q2"}, &SessionState::quiet_level, 2},      {{u"-q2"}, &SessionState::quiet_level, 2},
      {{u"/quiet"}, &SessionState::quiet_level, 0},   {{u"/qx"}, &SessionState::quiet_level, 0},
      {{u"/q"}, &SessionState::quiet_level, 1},       {{u"/q1", u"/q2"}, &SessionState::quiet_level, 2},
      {{u"/q99999999999"}, &SessionState::quiet_level, INT32_MAX},
      {{u"/q18446744073709551621"}, &SessionState::quiet_level, INT32_MAX},  // 2^64 + 5 does not wrap to 5
      {{u"/b"}, &SessionState::restart_mode, 0},      {{u"/b2"}, &SessionState::restart_mode, 2},
      {{u"/B-1"}, &SessionState::restart_mode, -1},   {{u"/a"}, &SessionState::value_a, 5},
      {{u"/a7"}, &SessionState::value_a, 7},          {{u"/ask"}, &SessionState::value_a, 0},
      {{u"/c2"}, &SessionState::verification_option, 2}, {{u"/c"}, &SessionState::verification_option, -1},
      {{u"/u"}, &SessionState::keep_flag, 1},         {{u"-U3"}, &SessionState::keep_flag, 3},
      {{u"/f"}, &SessionState::force, 1},             {{u"/fx"}, &SessionState::force, 0},
      {{u"NAME=1", u"$Docs=2", u"plain", u"/", u"-"}, &SessionState::quiet_level, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.args)->*c.field, c.value) << TextToUtf8(c.args.back());
}

TEST_F(Switches, ErrorMaskForceAndLanguage) {
  struct Case {
    Args args;
    uint32_t mask;
    int32_t force;
    uint16_t language;
  } cases[] = {
      {{u"/e0"}, 0, 0, 0xFFFF},            {{u"/f"}, 0, 1, 0xFFFF},
      {{u"/e5"}, 0x80000005, 0, 0xFFFF},   {{u"/e0x100"}, 0x80000100, 0, 0xFFFF},
      {{u"/ex"}, 0xFFFFFFFF, 0, 0xFFFF},   {{u"/e"}, 0xFFFFFFFF, 0, 0xFFFF},
      {{u"/f", u"/e4"}, 0x80000004, 1, 0xFFFF},
      {{u"/l:0x400"}, 0xFFFFFFFF, 0, 0x0407}, {{u"/l:1031"}, 0xFFFFFFFF, 0, 1031},
      {{u"/L:0x40C"}, 0xFFFFFFFF, 0, 0x040C}, {{u"/l:0"}, 0xFFFFFFFF, 0, 0x0407},
      {{u"/l"}, 0xFFFFFFFF, 0, 0xFFFF},    {{u"/l0"}, 0xFFFFFFFF, 0, 0xFFFF},
      {{u"/l1"}, 0xFFFFFFFF, 0, 0xFFFF},   {{u"/lx"}, 0xFFFFFFFF, 0, 0xFFFF},
  };
  for (const Case& c : cases) {
    SessionState* s = Parse(c.args);
    EXPECT_EQ(s->error_abort_mask, c.mask) << TextToUtf8(c.args.back());
    EXPECT_EQ(s->force, c.force) << TextToUtf8(c.args.back());
    EXPECT_EQ(s->language_request, c.language) << TextToUtf8(c.args.back());
  }
}

TEST_F(Switches, TextValues) {
  SessionState* s = Parse({u"/d:C:\\db.dat", u"/s:\\\\srv\\src", u"-Z:pkg", u"/log:C:\\L\\<ProductName>.log", u"/d"});
  EXPECT_EQ(std::u16string(SessionText(s->database_path)), u"C:\\db.dat");
  EXPECT_EQ(std::u16string(SessionText(s->source_folder)), u"\\\\srv\\src");
  EXPECT_EQ(std::u16string(SessionText(s->package_folder)), u"pkg");
  EXPECT_EQ(std::u16string(SessionText(s->log_path)), u"C:\\L\\<ProductName>.log");
  s = Parse({u"/LOG:x.log", u"/s"});
  EXPECT_EQ(std::u16string(SessionText(s->log_path)), u"x.log");
  EXPECT_EQ(s->source_folder, nullptr);
}

TEST_F(Switches, Verbs) {
  struct Case {
    Args args;
    int32_t mode;
    const char16_t* folder;
  } cases[] = {
      {{u"/install"}, kRunModeInstall, u""},
      {{u"/installnow"}, kRunModeInstall, u""},
      {{u"/install:C:\\Apps\\Tool"}, kRunModeInstall, u"C:\\Apps\\Tool"},
      {{u"/INSTALL:C:\\Apps\\Tool"}, kRunModeInstall, u"C:\\Apps\\Tool"},
      {{u"-Install:"}, kRunModeInstall, u""},
      {{u"/remove"}, kRunModeRemove, u""},
      {{u"/REGISTER"}, kRunModeRegister, u""},
      {{u"/repair"}, kRunModeRepair, u""},
      {{u"-resume"}, kRunModeResume, u""},
      {{u"/install:C:\\A", u"/remove"}, kRunModeRemove, u""},
      {{u"/removeall"}, kRunModeUnknown, u""},
      {{u"/instal"}, kRunModeUnknown, u""},
      {{u"/reinstall"}, kRunModeUnknown, u""},
  };
  for (const Case& c : cases) {
    SessionState* s = Parse(c.args);
    EXPECT_EQ(s->run_mode, c.mode) << TextToUtf8(c.args.back());
    EXPECT_EQ(std::u16string(SessionText(s->install_folder)), c.folder) << TextToUtf8(c.args.back());
  }
}

TEST_F(Switches, UsageAndHelpEndTheRun) {
  Parse({u"/q2", u"/?", u"/q1"});
  EXPECT_EQ(result_, kParseEndRun);
  EXPECT_EQ(g_usage, 1);
  EXPECT_EQ(session_->quiet_level, 2) << "parsing stops at /?";
  Parse({u"-HELP"});
  EXPECT_EQ(result_, kParseEndRun);
  EXPECT_EQ(g_help, 1);
  Parse({u"/?x", u"/helpme", u"/hel"});
  EXPECT_EQ(result_, kParseContinue);
  EXPECT_EQ(g_usage + g_help, 0);
}

TEST_F(Switches, PasswordIsStoredScrambledAndHiddenInTheArguments) {
  SessionState* s = Parse({u"/p:secret", u"/q"});
  EXPECT_EQ(Password(s), "secret");
  std::string buffer(reinterpret_cast<const char*>(s->password), kRememberedPasswordSize);
  EXPECT_EQ(buffer.find("secret"), std::string::npos);
  EXPECT_EQ(buffer.find("ecre"), std::string::npos);
  EXPECT_EQ(std::u16string(s->arguments.texts[1]), u"/p:*HIDDEN*");

  s = Parse({u"-P:first", u"/p:" + std::u16string(70, u'k') + u"\u00E9"});
  EXPECT_EQ(Password(s), std::string(63, 'k')) << "cut to 63 bytes";
  s = Parse({u"/p:caf\u00E9"});
  EXPECT_EQ(Password(s), "caf\xE9") << "ANSI code page";
  s = Parse({u"/p"});
  EXPECT_EQ(Password(s), "");
}

TEST(CommandLinePasswords, HiddenInTheLoggedCommandLine) {
  char16_t* shown = CommandLineHidePasswords(u"\"C:\\S.exe\" /q  /p:abc -P:\"x y\" /p \"/p:q\" /px");
  EXPECT_EQ(std::u16string(shown), u"\"C:\\S.exe\" /q  /p:*HIDDEN* -P:*HIDDEN* /p /p:*HIDDEN* /px");
  MemFree(shown);
}

TEST(CommandLineAssignments, Variables) {
  ArgumentVector v{};
  std::u16string longName(300, u'N');
  for (const char16_t* a : {u"NAME=value", u"S.exe", u"A=B=C", u"=x", u"NAME", u"/X=1", u"-Y=2", u"$D=1", u"E=",
                            u""})
    ArgumentAppend(&v, a, TextLength(a));
  ArgumentAppend(&v, (longName + u"=v").c_str(), longName.size() + 2);
  std::vector<std::pair<std::u16string, std::u16string>> got;
  VariableAssignment assignment;
  for (uint32_t i = 0; NextVariableAssignment(&v, &i, &assignment);) got.emplace_back(assignment.name, assignment.value);
  ArgumentFree(&v);
  ASSERT_EQ(got.size(), 3u) << "the program path is skipped";
  EXPECT_EQ(got[0], (std::pair<std::u16string, std::u16string>{u"A", u"B=C"}));
  EXPECT_EQ(got[1], (std::pair<std::u16string, std::u16string>{u"E", u""}));
  EXPECT_EQ(got[2].first, longName.substr(0, 255));
}

TEST(CommandLineAssignments, OptionsClampTheirState) {
  ArgumentVector v{};
  for (const char16_t* a : {u"S.exe", u"$Docs=7", u"$Docs=-1", u"$Help=0x3", u"$X=abc", u"$=5", u"$", u"$Y", u"Z=1",
                            u"$A=B=2"})
    ArgumentAppend(&v, a, TextLength(a));
  std::vector<std::pair<std::u16string, int32_t>> got;
  OptionAssignment assignment;
  for (uint32_t i = 0; NextOptionAssignment(&v, &i, &assignment);) got.emplace_back(assignment.name, assignment.state);
  ArgumentFree(&v);
  EXPECT_EQ(got, (std::vector<std::pair<std::u16string, int32_t>>{
                     {u"Docs", 5}, {u"Docs", 0}, {u"Help", 3}, {u"X", 0}, {u"A", 0}}));
}

TEST(CommandLineValues, JoinedLineQuotesWhatAShellWouldSplit) {
  ArgumentVector v{};
  for (const char16_t* a : {u"C:\\Program Files\\Setup.exe", u"/q2", u"A=B", u"say \"hi\"", u"plain", u"", u"a&b",
                            u"~x", u"tab\there"})
    ArgumentAppend(&v, a, TextLength(a));
  char16_t* joined = CommandLineJoin(&v);
  EXPECT_EQ(std::u16string(joined),
            u"\"C:\\Program Files\\Setup.exe\" /q2 \"A=B\" \"say \"\"hi\"\"\" plain \"\" \"a&b\" \"~x\" \"tab\there\"");
  MemFree(joined);
  ArgumentFree(&v);
}

TEST(CommandLineValues, SourceFolderRule) {
  struct Case {
    const char16_t* switchValue;
    bool installed;
    const char16_t* databaseValue;
    const char16_t* file;
    const char16_t* expected;
  } cases[] = {
      {u"D:\\Given", true, u"E:\\Db", u"C:\\P\\Setup.dat", u"D:\\Given"},
      {nullptr, true, u"E:\\Db", u"C:\\P\\Setup.dat", u"E:\\Db"},
      {nullptr, true, u"", u"C:\\P\\Setup.dat", u"C:\\P"},
      {nullptr, false, u"E:\\Db", u"C:\\Pkg\\Setup.exe", u"C:\\Pkg"},
      {nullptr, false, nullptr, u"C:\\Setup.exe", u"C:\\"},
  };
  for (const Case& c : cases) {
    SessionState* s = SessionCreate(1);
    SessionSetText(&s->source_folder, c.switchValue);
    s->quiet_level = 2;
    s->restart_mode = 1;
    ArgumentAppend(&s->arguments, u"S.exe", 5);
    DatabaseFacts facts{c.installed, c.databaseValue, c.file};
    CommandLineValues values;
    CommandLineValuesCompute(s, &facts, &values);
    EXPECT_EQ(std::u16string(values.source_folder), c.expected);
    EXPECT_EQ(std::u16string(SessionText(s->source_folder)), c.expected) << "kept as the session's source folder";
    EXPECT_EQ(values.installed, c.installed ? 1 : 0);
    EXPECT_EQ(values.quiet_level, 2);
    EXPECT_EQ(values.restart_mode, 1);
    EXPECT_EQ(values.value_a, -1);
    EXPECT_EQ(std::u16string(values.command_line), u"S.exe");
    CommandLineValuesFree(&values);
    SessionFree(s);
  }
}

TEST(RunModes, Names) {
  const char16_t* expected[] = {u"Unknown", u"Install", u"Remove", u"Register", u"Repair", u"Resume"};
  for (int32_t mode = 0; mode <= 5; ++mode) EXPECT_EQ(std::u16string(RunModeName(mode)), expected[mode]);
  EXPECT_EQ(std::u16string(RunModeName(6)), u"Unknown");
  EXPECT_EQ(std::u16string(RunModeName(-1)), u"Unknown");
}
