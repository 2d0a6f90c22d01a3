// The Windows process runtime: records, error texts, the log file, the fault guard and the pump.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "runtime/error_code.h"
#include "runtime/error_text.h"
#include "runtime/fault_guard.h"
#include "runtime/image_check.h"
#include "runtime/locks.h"
#include "runtime/log.h"
#include "runtime/message_pump.h"
#include "runtime/process_context.h"
#include "runtime/random.h"
#include "runtime/run_control.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "tests/runtime/windows_test_support.h"

using namespace test_support;

namespace {

int* volatile g_null_pointer = nullptr;

intptr_t Fault(void*) {
  *g_null_pointer = 1;
  return 1;
}

std::string Utf8(const char16_t* text) { return TextToUtf8(text); }

// The log of each test goes to a file of its own; the run's state is the test's own.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogClose();
    log_path_ = folder_.File(u"test.log");
    ASSERT_EQ(LogRename(log_path_.c_str()), 0u);
    run_ = RunState{};
    RunControlInstall(&kTestControl);
  }
  void TearDown() override {
    RunControlInstall(nullptr);
    LogClose();
  }
  std::string Log() const { return ReadBytes(log_path_); }

  struct RunState {
    bool quit;
    int32_t exit_code;
  };
  static RunState run_;
  static constexpr RunControl kTestControl = {
      []() { return run_.quit; }, []() { run_.quit = true; },
      [](int32_t code) {
        if (!run_.exit_code) run_.exit_code = code;
      },
      []() { return run_.exit_code; }, []() { return true; }};

  TempFolder folder_{u"rt_"};
  std::u16string log_path_;
};
RuntimeTest::RunState RuntimeTest::run_;

}  // namespace

TEST(ProcessRecords, StartUpFilledTheProcessAndMainThreadRecords) {
  ProcessContext* p = Process();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Utf8(p->base_name), "runtime_windows_tests");
  EXPECT_STREQ(p->base_name_ansi, "runtime_windows_tests");
  EXPECT_NE(std::u16string(p->executable_path).find(u"runtime_windows_tests.exe"), std::u16string::npos);
  EXPECT_EQ(p->run_identifier, p->seed[0] ^ p->seed[1]);
  EXPECT_EQ(p->subsystem_kind, kSubsystemKindConsole);
  EXPECT_EQ(p->image_base, GetModuleHandleW(nullptr));
  EXPECT_EQ(p->pe_headers->OptionalHeader.Magic, kImageMagicOfThisBuild);
  EXPECT_EQ(p->output_code_page, 65001u);
  ThreadContext* main = ThreadCurrent();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Utf8(main->name), "Main");
  EXPECT_EQ(main->thread_id, GetCurrentThreadId());
}

namespace {

struct SeenByThread {
  ThreadContext* context;
  char16_t name[31];
  uint64_t value;
};

DWORD WINAPI LookAtOwnRecord(void* out) {
  auto* s = static_cast<SeenByThread*>(out);
  s->context = ThreadCurrent();
  TextCopy(s->name, s->name + 30, s->context->name);
  s->value = RandomNext64();
  ThreadRelease();
  return 0;
}

DWORD WINAPI WriteRecords(void*) {
  std::u16string payload(300, u'p');
  for (int i = 0; i < 200; ++i) Trace(TR("D1000"), u"%s|%d", payload.c_str(), i);
  ThreadRelease();
  return 0;
}

}  // namespace

TEST(ProcessRecords, OtherThreadsGetTheirOwnRecordAndGenerator) {
  SeenByThread seen{};
  HANDLE thread = CreateThread(nullptr, 0, LookAtOwnRecord, &seen, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_NE(seen.context, nullptr);
  EXPECT_NE(seen.context, ThreadCurrent());
  EXPECT_EQ(Utf8(seen.name), "");
  uint64_t a = RandomNext64(), b = RandomNext64();
  EXPECT_NE(a, b);
  EXPECT_NE(a, seen.value);
  uint32_t state[2] = {ThreadCurrent()->random_state[0], ThreadCurrent()->random_state[1]};
  EXPECT_EQ((uint64_t(state[0]) << 32) | state[1], b) << "the state is the last output";
  PsdesHash(&state[0], &state[1]);
  EXPECT_EQ(RandomNext64(), (uint64_t(state[0]) << 32) | state[1]);
}

TEST(ProcessRecords, OperatingSystemVersion) {
  ASSERT_EQ(ProcessReadOsVersion(), 0u);
  const OSVERSIONINFOEXW& v = Process()->os_version;
  EXPECT_EQ(v.dwPlatformId, 2u);
  EXPECT_GE(v.dwMajorVersion, 5u);
  EXPECT_EQ(Process()->is_wow64, sizeof(void*) == 4 ? TRUE : FALSE);
}

namespace {

DWORD WINAPI TakeAndRelease(void* index) {
  LockEnter(uint32_t(reinterpret_cast<uintptr_t>(index)));
  LockLeave(uint32_t(reinterpret_cast<uintptr_t>(index)));
  return 0;
}

// A thread that takes the lock `index` and releases it at once.
HANDLE TakeOnOtherThread(uint32_t index) {
  return CreateThread(nullptr, 0, TakeAndRelease, reinterpret_cast<void*>(uintptr_t(index)), 0, nullptr);
}

}  // namespace

TEST(Locks, OutOfRangeIndicesDoNothing) {
  // A lock held here keeps another thread waiting until it is released...
  LockEnter(kLockLog);
  HANDLE waiting = TakeOnOtherThread(kLockLog);
  EXPECT_EQ(WaitForSingleObject(waiting, 200), DWORD(WAIT_TIMEOUT));
  LockLeave(kLockLog);
  EXPECT_EQ(WaitForSingleObject(waiting, 5000), DWORD(WAIT_OBJECT_0));
  CloseHandle(waiting);
  // ...while entering an index out of range holds nothing: every lock, and those indices, pass.
  LockEnter(kLockCount);
  LockEnter(0xFFFFFFFF);
  for (uint32_t index : {kLockLog, kLockModules, kLockCount - 1, kLockCount, 0xFFFFFFFFu}) {
    HANDLE other = TakeOnOtherThread(index);
    EXPECT_EQ(WaitForSingleObject(other, 5000), DWORD(WAIT_OBJECT_0)) << index;
    CloseHandle(other);
  }
  LockLeave(kLockCount);
  LockLeave(0xFFFFFFFF);
}

TEST(ErrorCodes, KeepFirstErrorAndDefault) {
  SetLastError(0);
  EXPECT_EQ(KeepFirstError(5), 5u);
  EXPECT_EQ(GetLastError(), 5u);
  EXPECT_EQ(KeepFirstError(87), 5u);
  EXPECT_EQ(GetLastError(), 5u);
  EXPECT_EQ(CodeOrDefault(0, 13), 13u);
  EXPECT_EQ(CodeOrDefault(2, 13), 2u);
}

TEST(ErrorText, UnknownCodeHasNoDetailsAndLastErrorStays) {
  char16_t text[200];
  SetLastError(1234);
  ErrorText(0xE0FF1234, text, text + 199);
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_EQ(Utf8(text), "(no details available)");
}

TEST(ErrorText, SystemTextWithoutTrailingBlanksAndBounded) {
  char16_t text[200];
  SetLastError(77);
  char16_t* end = ErrorText(ERROR_FILE_NOT_FOUND, text, text + 199);
  EXPECT_EQ(GetLastError(), 77u);
  ASSERT_GT(end, text);
  EXPECT_FALSE(IsBlank(end[-1]));
  EXPECT_EQ(Utf8(text).find("(no details"), std::string::npos);
  char16_t small[8];
  end = ErrorText(ERROR_FILE_NOT_FOUND, small, small + 7);
  EXPECT_LE(end, small + 7);
  EXPECT_EQ(std::u16string(small), std::u16string(text).substr(0, TextLength(small)));
  EXPECT_EQ(std::u16string(ErrorTextOfThread(0xE0FF1234)), u"(no details available)");
  EXPECT_EQ(ErrorTextOfThread(2), ThreadCurrent()->error_text);
}

TEST(ErrorText, ModuleTablesOnlyWhenAlreadyLoaded) {
  if (GetModuleHandleW(L"wininet.dll")) GTEST_SKIP() << "wininet.dll is already loaded";
  char16_t before[200], after[200];
  ErrorText(12002, before, before + 199);  // ERROR_INTERNET_TIMEOUT
  HMODULE wininet = LoadLibraryW(L"wininet.dll");
  ASSERT_NE(wininet, nullptr);
  ErrorText(12002, after, after + 199);
  FreeLibrary(wininet);
  if (Utf8(before) != "(no details available)") GTEST_SKIP() << "the system table knows 12002: " << Utf8(before);
  EXPECT_NE(Utf8(after), "(no details available)") << "wininet.dll's table once it is loaded";
}

TEST_F(RuntimeTest, LogLinesAreByteExact) {
  ASSERT_EQ(LogOpen(kLogWithRandom), 0u) << "the set path wins over the flags";
  TraceSetLanguage(0x0407);
  SetLastError(4321);
  Trace(TR("W1000"), u"%s|%lu", u"a\r\nb", uint32_t(5));
  TraceList(TR("I0057"), 0);
  EXPECT_EQ(GetLastError(), 4321u);
  TraceSetLanguage(0);
  LogClose();
  std::string log = Log();
  ASSERT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
  std::vector<std::string> lines = Lines(log.substr(3));
  ASSERT_EQ(lines.size(), 4u);
  std::string stamp = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}";
  std::string exe = TextToUtf8(Process()->executable_path);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + " ===== Logging .* =====\n"))) << lines[0];
  EXPECT_EQ(lines[0].substr(23), " ===== Logging " + exe + " =====\n");
  EXPECT_TRUE(std::regex_match(lines[1], std::regex("0007A3E7\\|QEL:W1000\\|0407-[0-9A-F]{16}\\|a#b\\|5\n"))) << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], std::regex("00072038\\|QEL:I0057\\|0407-[0-9A-F]{16}\n"))) << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(stamp + " ===== Closing log file =====\n"))) << lines[3];
}

TEST_F(RuntimeTest, ByteOrderMarkOnlyOnNewOrEmptyFiles) {
  WriteBytes(log_path_, "");
  ASSERT_EQ(LogOpen(0), 0u);
  LogClose();
  ASSERT_EQ(LogOpen(0), 0u);
  LogClose();
  std::string log = Log();
  EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(log.find("\xEF\xBB\xBF", 3), std::string::npos);
  EXPECT_EQ(Lines(log).size(), 4u) << "two headers, two footers";
}

TEST_F(RuntimeTest, FilesAbove65536BytesAreEmptied) {
  for (size_t size : {size_t(65536), size_t(65537)}) {
    WriteBytes(log_path_, std::string(size, 'x'));
    ASSERT_EQ(LogOpen(0), 0u);
    LogClose();
    std::string log = Log();
    if (size == 65536) {
      EXPECT_EQ(log.substr(0, size), std::string(size, 'x'));
      EXPECT_EQ(log.find("\xEF\xBB\xBF"), std::string::npos);
    } else {
      EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
      EXPECT_LT(log.size(), size_t(1000));
    }
  }
}

TEST_F(RuntimeTest, RenameMovesTheOpenFileAndKeepsThePathOnFailure) {
  ASSERT_EQ(LogOpen(0), 0u);
  Trace(TR("I1000"), u"%s", u"before");
  std::u16string moved = folder_.File(u"moved.log");
  ASSERT_EQ(LogRename(moved.c_str()), 0u);
  Trace(TR("I1000"), u"%s", u"after");
  EXPECT_EQ(ReadBytes(log_path_), "");
  char16_t current[300];
  LogCurrentPath(current, current + 299);
  EXPECT_EQ(std::u16string(current), moved);
  std::u16string nowhere = folder_.File(u"missing\\x.log");
  EXPECT_EQ(LogRename(nowhere.c_str()), uint32_t(ERROR_PATH_NOT_FOUND));
  std::u16string tooLong = folder_.File((std::u16string(270, u'n') + u".log").c_str());
  EXPECT_EQ(LogRename(tooLong.c_str()), uint32_t(ERROR_FILENAME_EXCED_RANGE));
  LogCurrentPath(current, current + 299);
  EXPECT_EQ(std::u16string(current), moved);
  LogClose();
  std::string log = ReadBytes(moved);
  EXPECT_NE(log.find("|before\n"), std::string::npos);
  EXPECT_NE(log.find("|after\n"), std::string::npos);
  DeleteFileW(W(moved));
}

TEST_F(RuntimeTest, AFailedOpenIsNotRetriedAndWritesAreDropped) {
  std::u16string nowhere = folder_.File(u"missing\\x.log");
  ASSERT_EQ(LogRename(nowhere.c_str()), 0u);
  SetLastError(99);
  EXPECT_EQ(LogOpen(0), uint32_t(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetLastError(), 99u);
  EXPECT_EQ(LogOpen(0), uint32_t(ERROR_INVALID_HANDLE));
  Trace(TR("I1000"), u"%s", u"dropped");
  EXPECT_EQ(GetLastError(), 99u);
  ASSERT_EQ(LogRename(log_path_.c_str()), 0u);
  EXPECT_EQ(LogOpen(0), 0u) << "a new path gets a new attempt";
}

TEST_F(RuntimeTest, RecordsOfManyThreadsNeverInterleave) {
  ASSERT_EQ(LogOpen(0), 0u);
  constexpr int kThreads = 4, kRecords = 200;  // WriteRecords writes kRecords
  std::vector<HANDLE> threads;
  for (int t = 0; t < kThreads; ++t) threads.push_back(CreateThread(nullptr, 0, WriteRecords, nullptr, 0, nullptr));
  WaitForMultipleObjects(DWORD(threads.size()), threads.data(), TRUE, INFINITE);
  for (HANDLE h : threads) CloseHandle(h);
  LogClose();
  std::vector<std::string> lines = Lines(Log().substr(3));
  ASSERT_EQ(lines.size(), size_t(2 + kThreads * kRecords));
  std::regex record("000703E7\\|QEL:D1000\\|0000-[0-9A-F]{16}\\|p{300}\\|\\d+\n");
  for (size_t i = 1; i + 1 < lines.size(); ++i) ASSERT_TRUE(std::regex_match(lines[i], record)) << lines[i];
}

TEST_F(RuntimeTest, GuardedCallsReturnAfterAFault) {
  intptr_t result = 5;
  EXPECT_TRUE(RuntimeGuardedCall([](void*) -> intptr_t { return 42; }, nullptr, &result));
  EXPECT_EQ(result, 42);
  EXPECT_FALSE(RuntimeGuardedCall(Fault, nullptr, &result));
  EXPECT_EQ(run_.exit_code, -1);
  // A fault in an inner guard returns to the inner guard; the outer call goes on.
  EXPECT_TRUE(RuntimeGuardedCall(
      [](void*) -> intptr_t {
        intptr_t inner = 0;
        return RuntimeGuardedCall(Fault, nullptr, &inner) ? 1 : 2;
      },
      nullptr, &result));
  EXPECT_EQ(result, 2);
  EXPECT_EQ(ThreadCurrent()->fault_guard, nullptr);
  LogClose();
  std::string log = Log();
  std::regex e0001("0007C000\\|QEL:E0001\\|0000-[0-9A-F]{16}\\|0xC0000005\\|0x00000000\\|[0-9A-F]{" +
                   std::to_string(2 * sizeof(void*)) + "}\n");
  int faults = 0;
  for (const auto& line : Lines(log)) faults += std::regex_match(line, e0001);
  EXPECT_EQ(faults, 2) << log;
}

namespace {

LRESULT CALLBACK ProbeWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) *g_null_pointer = 1;
  if (message == WM_APP + 1) PostQuitMessage(int(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() { return MessageWindow(L"RuntimePumpTest", ProbeWindow); }

}  // namespace

TEST_F(RuntimeTest, PumpRecordsTheQuitCodeAndDropsThreadMessages) {
  HWND window = MakeWindow();
  PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
  PostMessageW(window, WM_NULL, 0, 0);
  PostQuitMessage(7);
  PostMessageW(window, WM_NULL, 0, 0);
  EXPECT_EQ(PumpPendingMessages(), 4u) << "the quit message comes after the queued ones";
  EXPECT_TRUE(run_.quit);
  EXPECT_EQ(run_.exit_code, 7);
  EXPECT_EQ(PumpPendingMessages(), 0u);
  DestroyWindow(window);
}

TEST_F(RuntimeTest, MainLoopEndsOnQuitAndOnAFaultInAWindowProcedure) {
  HWND window = MakeWindow();
  PostMessageW(window, WM_APP + 1, 3, 0);
  RunMainLoop();
  EXPECT_EQ(run_.exit_code, 3);
  run_ = RunState{};
  PostMessageW(window, WM_APP, 0, 0);
  PostMessageW(window, WM_APP + 1, 4, 0);
  RunMainLoop();
  EXPECT_TRUE(run_.quit);
  EXPECT_EQ(run_.exit_code, -1) << "the fault ended the loop before the quit message";
  PumpPendingMessages();
  DestroyWindow(window);
  LogClose();
  EXPECT_NE(Log().find("|QEL:E0001|"), std::string::npos);
}

TEST_F(RuntimeTest, WaitAndPumpWaitsAndStopsOnQuit) {
  DWORD start = GetTickCount();
  WaitAndPump(150);
  EXPECT_GE(GetTickCount() - start, 140u);
  run_.quit = true;
  start = GetTickCount();
  WaitAndPump(5000);
  EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST(ModelessDialogs, TheLastPushedIsActive) {
  HWND a = reinterpret_cast<HWND>(0x1000), b = reinterpret_cast<HWND>(0x2000);
  ModelessPush(a);
  ModelessPush(b);
  EXPECT_EQ(ModelessActive(), b);
  ModelessRemove(b);
  EXPECT_EQ(ModelessActive(), a);
  ModelessRemove(a);
  EXPECT_EQ(ModelessActive(), nullptr);
}
