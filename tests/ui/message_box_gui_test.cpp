// A shown message box on a virtual display: centred on its owner, captions from the string table of
// the current language, title of the session, closed by its own time-out with the default result.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {

struct Seen {
  bool found;
  RECT box, owner;
  std::u16string title;
  std::u16string buttons[12];
  HWND owner_window;
} g_seen;

BOOL CALLBACK FindBox(HWND window, LPARAM) {
  wchar_t name[16];
  if (!GetClassNameW(window, name, 16) || lstrcmpW(name, L"#32770") != 0) return TRUE;
  g_seen.found = true;
  GetWindowRect(window, &g_seen.box);
  GetWindowRect(g_seen.owner_window, &g_seen.owner);
  wchar_t text[256];
  GetWindowTextW(window, text, 256);
  g_seen.title = reinterpret_cast<const char16_t*>(text);
  for (int id = 1; id <= 11; ++id)
    if (HWND button = GetDlgItem(window, id)) {
      GetWindowTextW(button, text, 256);
      g_seen.buttons[id] = reinterpret_cast<const char16_t*>(text);
    }
  return FALSE;
}

// Looks at the box once while it is up; the box's own time-out ends it.
void CALLBACK Inspect(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
}

class ShownMessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 100, 120, 600, 400, nullptr, nullptr,
                             nullptr, nullptr);
    if (!owner_) GTEST_SKIP() << "no display";
    session_ = SessionCreate(1);
    SessionSetText(&session_->title, u"Test Title");
    SessionSetCurrent(session_);
    g_seen = Seen{};
    g_seen.owner_window = owner_;
  }
  void TearDown() override {
    SessionFree(session_);
    if (owner_) DestroyWindow(owner_);
  }
  int ShowFor(uint32_t style, int defaultResult, uint16_t language) {
    session_->ui_language = language;
    SetTimer(nullptr, 0, 300, Inspect);
    DWORD start = GetTickCount();
    int result = QelShowMessageBox(owner_, style, defaultResult, 1500, u"Message %d", 1);
    elapsed_ = GetTickCount() - start;
    return result;
  }
  HWND owner_ = nullptr;
  SessionState* session_ = nullptr;
  DWORD elapsed_ = 0;
};

}  // namespace

TEST_F(ShownMessageBox, TimesOutWithTheDefaultResultAndLocalisedCaptions) {
  EXPECT_EQ(ShowFor(MB_YESNO | MB_ICONQUESTION, IDNO, 0x0407), IDNO);
  EXPECT_GE(elapsed_, 1400u);
  ASSERT_TRUE(g_seen.found);
  EXPECT_EQ(g_seen.title, u"Test Title");
  EXPECT_EQ(g_seen.buttons[IDYES], u"&Ja");
  EXPECT_EQ(g_seen.buttons[IDNO], u"&Nein");
  LONG boxX = (g_seen.box.left + g_seen.box.right) / 2, boxY = (g_seen.box.top + g_seen.box.bottom) / 2;
  EXPECT_NEAR(boxX, 400, 2) << "centred on the owner";
  EXPECT_NEAR(boxY, 320, 2) << "centred on the owner";
}

TEST_F(ShownMessageBox, SingleButtonGetsTheOkCaption) {
  EXPECT_EQ(ShowFor(MB_OK | MB_ICONERROR, IDOK, 0x0407), IDOK);
  ASSERT_TRUE(g_seen.found);
  std::u16string shown = g_seen.buttons[IDOK].empty() ? g_seen.buttons[IDCANCEL] : g_seen.buttons[IDOK];
  EXPECT_EQ(shown, u"Jawohl");
}

TEST_F(ShownMessageBox, NeutralCaptionsWithoutALanguageTable) {
  EXPECT_EQ(ShowFor(MB_RETRYCANCEL, IDCANCEL, 0x040C), IDCANCEL);
  ASSERT_TRUE(g_seen.found);
  EXPECT_EQ(g_seen.buttons[IDRETRY], u"&Retry");
  EXPECT_EQ(g_seen.buttons[IDCANCEL], u"Cancel");
}
