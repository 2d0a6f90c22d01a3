#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_link.h"
#include "expr/database_resolver.h"
#include "expr/main_window.h"
#include "expr/variables.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

constexpr uint32_t kSymb = TagOf("symb");
constexpr uint32_t kFile = TagOf("file");
constexpr uint32_t kCmp9 = TagOf("cmp9");
constexpr uint32_t kInst = TagOf("inst");

std::vector<std::u16string> g_lines;
std::vector<std::pair<UINT, std::u16string>> g_messages;
std::vector<int> g_levels;
std::vector<std::u16string> g_sessionTexts;

LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kVariableChangedMessage)
    g_messages.emplace_back(message, reinterpret_cast<const char16_t*>(lParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() {
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Record;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ExprVariablesTest";
    return RegisterClassW(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  return CreateWindowW(L"ExprVariablesTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                       nullptr);
}

class VariableStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ClassRegistryRegisterSetupClasses();
    db_ = BuilderCreateTable();
    Variable(100, u"Base", u"C:\\Programs");
    Variable(101, u"Folder", u"<Base>\\App");
    Variable(102, u"Secret", u"hush", kSymbSecret);
    Variable(103, u"Number", u"0x10");
    Variable(104, u"Self", u"<Self>");
    Variable(408, u"SourceDir", u"D:\\Media");
    Variable(426, u"MainFolder", u"InstallDir");
    Variable(427, u"Root", u"");
    Variable(428, u"Free", u"");
    Variable(429, u"FreeAfter", u"");
    Variable(430, u"Needed", u"1000");
    Variable(500, u"Quiet", u"");
    Variable(505, u"UiLevel", u"");
    Variable(512, u"Level512", u"");
    Variable(524, u"SessionText", u"");
    Variable(600, u"InstallDir", u"");
    Variable(601, u"DocsVar", u"docs value");
    SetupObject* greeting = Variable(602, u"Greeting", u"Hello");
    LocalizedPair pairs[] = {{const_cast<char16_t*>(u"Hallo"), 0x0407}, {const_cast<char16_t*>(u"Gruezi"), 0x0807}};
    BuilderSetLocalized(greeting, kSymbValue, u"Hello", pairs, 2);
    SetupObject* file = BuilderAddObject(db_, kFile, 900);
    BuilderSetText(file, kFileKeySlot, u"MainExe");
    BuilderSetText(file, kFileTargetPathSlot, u"C:\\App\\main.exe");
    BuilderSetText(file, kFileSourceNameSlot, u"bin\\main.exe");
    SetupObject* child = Option(801, u"Docs", u"DocsVar", 1);
    Option(802, u"Docs", u"", 2);  // a parent with the same name: the child is found first
    uint64_t childIds[] = {801};
    BuilderSetIdList(ObjectTableFind(db_, 0, 802), 18, childIds, 1);
    (void)child;
    SetupObject* inst = BuilderAddObject(db_, kInst, 700);
    uint64_t top[] = {802};
    BuilderSetIdList(inst, 23, top, 1);
    LinkHooks hooks{};
    DatabaseLink(db_, &hooks);
    VariablesSetLanguage(0x0409);
    g_lines.clear();
    g_messages.clear();
    g_levels.clear();
    g_sessionTexts.clear();
    static const TraceSink sink{[](void*, const char16_t* line, size_t length) { g_lines.emplace_back(line, length); },
                                nullptr};
    TraceSetSink(&sink);
    static const VariableSessionHooks hooksForSession{[](int level) { g_levels.push_back(level); },
                                                      [](const char16_t* text) { g_sessionTexts.push_back(text); }};
    VariablesSetSessionHooks(&hooksForSession);
  }
  void TearDown() override {
    TraceSetSink(nullptr);
    VariablesSetSessionHooks(nullptr);
    ExprSetMainWindow(nullptr);
    ObjectTableDestroy(db_);
  }

  SetupObject* Variable(uint32_t id, const char16_t* name, const char16_t* value, uint32_t flags = 0) {
    SetupObject* v = BuilderAddObject(db_, kSymb, 0x10000 + id);
    BuilderSetU32(v, kSymbId, id);
    BuilderSetU32(v, kSymbFlags, flags);
    BuilderSetLocalized(v, kSymbValue, value, nullptr, 0);
    BuilderSetText(v, kSymbName, name);
    return v;
  }
  SetupObject* Option(uint64_t id, const char16_t* name, const char16_t* variable, int installed) {
    SetupObject* o = BuilderAddObject(db_, kCmp9, id);
    BuilderSetText(o, kOptionName, name);
    BuilderSetText(o, kOptionVariable, variable);
    BuilderSetInt(o, kOptionInstalled, installed);
    return o;
  }
  std::u16string Value(uint32_t id) {
    char16_t buffer[1024];
    VariableValue(db_, id, buffer, buffer + 1023);
    return buffer;
  }
  std::u16string Run(const char16_t* text) {
    char16_t buffer[1024];
    Substitute(db_, text, buffer, buffer + 1023);
    return buffer;
  }
  size_t CountLines(const char16_t* part) {
    size_t n = 0;
    for (const auto& line : g_lines) n += line.find(part) != std::u16string::npos;
    return n;
  }

  ObjectTable* db_ = nullptr;
};

}  // namespace

TEST_F(VariableStore, LookupAndReads) {
  EXPECT_EQ(VariableFind(db_, u"folder"), VariableFindById(db_, 101));
  EXPECT_EQ(VariableFind(db_, u"NoSuch"), nullptr);
  EXPECT_EQ(VariableFindById(db_, 99999), nullptr);
  EXPECT_EQ(CountLines(u"QEL:W1510|"), 1u);
  EXPECT_EQ(CountLines(u"QEL:W1511|"), 1u);
  EXPECT_EQ(Value(101), u"C:\\Programs\\App");
  EXPECT_EQ(std::u16string(VariableRawValue(VariableFindById(db_, 101))), u"<Base>\\App");
  EXPECT_EQ(VariableInt(db_, 103), 16);
  EXPECT_EQ(VariableU32(db_, 430), 1000u);
  EXPECT_EQ(VariableU64(db_, 427), 0u);
  EXPECT_EQ(Value(104), u"");
  EXPECT_EQ(Value(602), u"Hello");
  VariablesSetLanguage(0x0807);
  EXPECT_EQ(Value(602), u"Gruezi");
  VariablesSetLanguage(0x0C07);
  EXPECT_EQ(Value(602), u"Gruezi");
}

TEST_F(VariableStore, SetTracesNotifiesAndSkipsEqualText) {
  HWND main = MakeWindow();
  HWND listener = MakeWindow();
  ExprSetMainWindow(main);
  SetupObject* base = VariableFindById(db_, 100);
  ASSERT_TRUE(VariableListen(base, listener));
  VariableSet(db_, 100, u"C:\\Programs");
  EXPECT_TRUE(g_messages.empty());
  EXPECT_EQ(CountLines(u"QEL:A1512|"), 0u);
  VariableSet(db_, 100, u"E:\\Other");
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0].second, u"E:\\Other");
  EXPECT_EQ(CountLines(u"|Base|C:\\Programs|E:\\Other"), 1u);
  EXPECT_EQ(Value(101), u"E:\\Other\\App");
  Sleep(30);
  MSG message;
  bool timer = false;
  while (PeekMessageW(&message, main, WM_TIMER, WM_TIMER, PM_REMOVE)) timer = timer || message.wParam == kVariableRefreshTimer;
  EXPECT_TRUE(timer);
  KillTimer(main, kVariableRefreshTimer);
  VariableSet(db_, 102, u"new secret");
  EXPECT_EQ(CountLines(u"|Secret|*HIDDEN*|*HIDDEN*"), 1u);
  VariableSet(db_, 102, u"");
  EXPECT_EQ(CountLines(u"|Secret|*HIDDEN*|\n"), 1u);
  VariableSet(db_, 500, u"1");
  EXPECT_EQ(CountLines(u"|Quiet|"), 0u);
  VariableSetInt(db_, 103, -7);
  EXPECT_EQ(Value(103), u"-7");
  VariableSetU64(db_, 103, 18446744073709551615ull);
  EXPECT_EQ(Value(103), u"18446744073709551615");
  VariableSet(db_, 99999, u"x");  // missing: nothing
  DestroyWindow(listener);
  DestroyWindow(main);
}

TEST_F(VariableStore, Listeners) {
  SetupObject* v = VariableFindById(db_, 100);
  std::vector<HWND> windows;
  for (int i = 0; i < 17; ++i) windows.push_back(MakeWindow());
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(VariableListen(v, windows[size_t(i)]));
  EXPECT_TRUE(VariableListen(v, windows[3]));
  EXPECT_FALSE(VariableListen(v, windows[16]));
  VariableUnlisten(v, windows[3]);
  EXPECT_TRUE(VariableListen(v, windows[16]));
  VariableSet(db_, 100, u"changed");
  EXPECT_EQ(g_messages.size(), 16u);
  for (HWND w : windows) DestroyWindow(w);
}

TEST_F(VariableStore, SideEffects) {
  VariableSet(db_, 505, u"3");
  EXPECT_EQ(Value(512), u"1");
  VariableSet(db_, 505, u"0");
  EXPECT_EQ(Value(512), u"5");
  EXPECT_EQ(g_levels, (std::vector<int>{3, 0}));
  VariableSet(db_, 524, u"<Base>");
  VariableSet(db_, 524, u"");
  EXPECT_EQ(g_sessionTexts, std::vector<std::u16string>{u"C:\\Programs"});

  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::u16string folder = reinterpret_cast<const char16_t*>(windows);
  VariableSet(db_, 600, (folder + u"\\App").c_str());
  EXPECT_EQ(Value(427), folder.substr(0, 3));
  uint64_t free = VariableU64(db_, 428);
  EXPECT_GT(free, 1000u);
  EXPECT_EQ(VariableU64(db_, 429), free - 1000);
  VariableSet(db_, 427, u"");
  VariableSet(db_, 426, u"Folder");  // re-designates: 427-429 follow the new variable
  EXPECT_EQ(Value(427), u"C:\\");
}

TEST_F(VariableStore, Reexpand) {
  VariableReexpand(db_, 101);
  EXPECT_EQ(std::u16string(VariableRawValue(VariableFindById(db_, 101))), u"C:\\Programs\\App");
  VariableSet(db_, 100, u"E:");
  EXPECT_EQ(Value(101), u"C:\\Programs\\App");
}

TEST_F(VariableStore, DatabaseReferences) {
  EXPECT_EQ(Run(u"<#mainexe>"), u"C:\\App\\main.exe");
  EXPECT_EQ(Run(u"<#Unknown=!none>"), u"none");
  EXPECT_EQ(Run(u"<$srcpath(MainExe)>"), u"D:\\Media\\bin\\main.exe");
  EXPECT_EQ(Run(u"<$Docs>"), u"docs value");
  EXPECT_EQ(Run(u"<$NoOption=!none>"), u"none");
  EXPECT_EQ(EvaluateCondition(db_, u"!Docs = 3 AND $Docs = -1", u"test"), 1);
  EXPECT_EQ(EvaluateCondition(db_, u"Folder >< \"App\"", u"test"), 1);
  EXPECT_EQ(EvaluateCondition(db_, u"", u"test"), -1);
  EXPECT_EQ(CountLines(u"|test|Folder >< \"App\"|1\n"), 1u);
  SetSlotU32(ObjectTableFind(db_, kCmp9, 801), kOptionAction, 2);
  EXPECT_EQ(EvaluateCondition(db_, u"$Docs = 2 AND &Docs = 2", u"test"), 1);
  SetSlotU32(ObjectTableFind(db_, kCmp9, 801), kOptionAction, 1);
  EXPECT_EQ(EvaluateCondition(db_, u"$Docs = 3", u"test"), 1);
}
