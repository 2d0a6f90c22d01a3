// QelShowMessageBoxV without a display (quiet mode) and the program's string table and version block.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/string_ids.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"
#include "ui/string_table.h"

namespace {

std::vector<std::u16string> g_records;
const TraceSink kSink = {[](void*, const char16_t* line, size_t n) { g_records.emplace_back(line, n); }, nullptr};

std::u16string Text(uint32_t id, uint16_t language) {
  char16_t text[4096];
  StringLoad(id, language, text, text + 4095);
  return text;
}

// The record's arguments after the time field.
std::u16string Arguments(const std::u16string& record) { return record.substr(41); }

class QuietMessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = SessionCreate(1);
    session_->quiet_level = 1;
    SessionSetCurrent(session_);
    g_records.clear();
    TraceSetSink(&kSink);
  }
  void TearDown() override {
    TraceSetSink(nullptr);
    MessageBoxSetSubstituteHook(nullptr);
    SessionFree(session_);
  }
  SessionState* session_;
};

}  // namespace

TEST_F(QuietMessageBox, ReturnsTheDefaultAndRecordsTheText) {
  EXPECT_EQ(QelShowMessageBox(nullptr, MB_YESNO | MB_ICONQUESTION, IDNO, 1000, u"Keep %s (%d)?", u"files", 3), IDNO);
  ASSERT_EQ(g_records.size(), 1u);
  EXPECT_EQ(g_records[0].substr(0, 19), u"0007200C|QEL:I0013|");
  EXPECT_EQ(Arguments(g_records[0]), u"Keep files (3)?|0x00000024|7\n");
}

TEST_F(QuietMessageBox, TextFromTheStringTableFormattedWithTheArguments) {
  QelShowMessageBox(nullptr, MB_OK | MB_ICONINFORMATION, IDOK, 0, MessageTextId(IDS_USAGE), u"https://x.example");
  ASSERT_EQ(g_records.size(), 1u);
  EXPECT_EQ(Arguments(g_records[0]),
            u"Common command line options (use /help for online docs):##/b0\tDo not reboot (/b2 to force reboot)#"
            u"/f\tForce installation even if errors occur#/q\tQuiet installation (/q2 for no GUI at all)##"
            u"https://x.example|0x00000040|1\n");
}

TEST_F(QuietMessageBox, PrivateFlags) {
  QelShowMessageBox(nullptr, kMessageUnformatted | MB_OK, IDOK, 0, u"100%s done");
  QelShowMessageBox(nullptr, kMessageSubstitute | MB_OK, IDOK, 0, u"<ProductName> %d", 2);
  MessageBoxSetSubstituteHook([](const char16_t* text, char16_t* start, char16_t* end) {
    TextCopy(TextCopy(start, end, u"Tool"), end, text + 13);
  });
  QelShowMessageBox(nullptr, kMessageSubstitute | kMessageUnformatted | MB_OK, IDCANCEL, 0, u"<ProductName> %d");
  ASSERT_EQ(g_records.size(), 3u);
  EXPECT_EQ(Arguments(g_records[0]), u"100%s done|0x20000000|1\n");
  EXPECT_EQ(Arguments(g_records[1]), u"<ProductName> 2|0x10000000|1\n") << "without a hook the text stays";
  EXPECT_EQ(Arguments(g_records[2]), u"Tool %d|0x30000000|2\n");
}

TEST(StringTable, TextsOfTheProgram) {
  EXPECT_EQ(Text(64, 0), u"OK");
  EXPECT_EQ(Text(81, 0), u"&About...");
  EXPECT_EQ(Text(IDS_PACKAGE_FILTER, 0), u"Installation packages|*.exe;*.kez|");
  EXPECT_EQ(Text(IDS_FILE_INSTALL_ERROR, 0),
            u"%s\r\n\r\nError %lu while installing this file:\r\n%s\r\n\r\nThe installation will be cancelled.");
  EXPECT_EQ(Text(IDS_PROGRESS_FIRST, 0), u"No action");
  EXPECT_EQ(Text(576, 0), u"Installing prerequisites");
  EXPECT_EQ(Text(100, 0), u"") << "a missing text is empty";
}

TEST(StringTable, LanguageFirstThenNeutral) {
  EXPECT_EQ(Text(69, 0x0407), u"&Ja");
  EXPECT_EQ(Text(IDS_USAGE, 0x0407), u"\u00DCbersicht %s") << "non-ASCII text survives the resource compiler";
  EXPECT_EQ(Text(65, 0x0407), u"Cancel") << "falls back to the neutral table";
  EXPECT_EQ(Text(69, 0x040C), u"&Yes");
}

TEST(VersionBlock, ProductNameAndPackageCode) {
  wchar_t path[MAX_PATH + 1];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
  auto value = [&](const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) return std::u16string();
    return std::u16string(reinterpret_cast<const char16_t*>(text));
  };
  EXPECT_EQ(value(L"ProductName"), u"Ostrel Setup");
  EXPECT_EQ(value(L"PackageCode"), u"{6F1D3C52-8A47-4E0B-9C2D-7B5E1A93F046}");
  EXPECT_EQ(value(L"LegalCopyright"), u"\u00A9 2025 Ostrel");
}
