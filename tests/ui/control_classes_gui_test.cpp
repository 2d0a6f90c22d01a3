// The control classes of a probe page (tests/ui/control_classes_test.rc) on a virtual display:
// colour panels painted with their control record's colours, icon pictures, link texts that open
// their target or click like a button, and the rich-text box that hands its content, saved as a
// temporary rich-text file, to a shell verb.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "install/file_slots.h"
#include "runtime/message_pump.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/ui/dialog_fixture.h"
#include "tests/ui/screenshot.h"
#include "ui/control_framework.h"
#include "ui/dialog_messages.h"

using namespace dialog_test;
using runner_test::kProbeTag;
using runner_test::Probe;

namespace {

constexpr uint64_t kPage = 100;
constexpr uint32_t kProbePage = 900;

enum : int {
  kPlainPanel = 901,          // type 29, red
  kHorizontalPanel = 902,     // type 30, red to blue
  kVerticalPanel = 903,       // type 31, red to blue
  kSameColoursPanel = 904,    // type 30, green to green
  kPanelWithoutRecord = 905,  // type 29, no control record
  kIconPicture = 906,         // SS_ICON "#1"
  kTextNamingIcon = 907,      // SS_LEFT "#1"
  kLink = 908,                // "Help": no target
  kLinkEmptyTarget = 909,     // "Open\n"
  kLinkWithTarget = 910,      // its text is set by the test
  kRichText = 911,            // the licence
};

bool Pumped(const std::function<bool()>& done, int limit_ms = 2000) {
  for (int waited = 0; waited < limit_ms && !done(); waited += 10) WaitAndPump(10);
  return done();
}

COLORREF PixelAt(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

bool Near(COLORREF colour, int red, int green, int blue, int tolerance) {
  return abs(GetRValue(colour) - red) <= tolerance && abs(GetGValue(colour) - green) <= tolerance &&
         abs(GetBValue(colour) - blue) <= tolerance;
}

std::string Rgb(COLORREF colour) {
  char text[16];
  snprintf(text, sizeof text, "%u,%u,%u", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

class ControlClasses : public DialogTest {
 protected:
  // The probe page with a control object of `tag` on each of `ids` (object ids from 50), open
  // and painted.
  HWND OpenProbePage(const std::vector<std::pair<uint32_t, int>>& controls, const std::vector<uint64_t>& events = {}) {
    std::vector<uint64_t> objects;
    for (const auto& [tag, id] : controls) {
      uint64_t object = 50 + objects.size();
      Control(tag, object, uint32_t(id));
      objects.push_back(object);
    }
    Dialog(kPage, kProbePage, objects, events);
    RunDialogAction(10, kPage, false);
    Link();
    if (RunOne(10) != kResultDone) return nullptr;
    HWND page = Window(kPage);
    if (page) UpdateWindow(page);
    return page;
  }
};

}  // namespace

TEST_F(ControlClasses, ColourPanelsFillOrShadeWithTheirRecordsColours) {
  const uint32_t panel = TagOf("c014");
  HWND page = OpenProbePage({{panel, kPlainPanel},
                             {panel, kHorizontalPanel},
                             {panel, kVerticalPanel},
                             {panel, kSameColoursPanel},
                             {panel, kPanelWithoutRecord}});
  ASSERT_NE(page, nullptr);
  WaitAndPump(100);
  EXPECT_TRUE(ScreenshotOfWindow(page, ScreenshotFolder() + u"control_classes_panels.png"));

  RECT area;
  GetClientRect(GetDlgItem(page, kHorizontalPanel), &area);
  const int right = area.right - 1, bottom = area.bottom - 1, middleX = area.right / 2, middleY = area.bottom / 2;
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  struct Case {
    int id;
    POINT at;
    int red, green, blue;
    int tolerance;
    const char* what;
  };
  const Case cases[] = {
      {kPlainPanel, {0, 0}, 255, 0, 0, 0, "type 29: the background colour"},
      {kPlainPanel, {right, bottom}, 255, 0, 0, 0, "type 29: the background colour"},
      {kHorizontalPanel, {0, middleY}, 255, 0, 0, 12, "type 30 starts with the background colour on the left"},
      {kHorizontalPanel, {middleX, middleY}, 128, 0, 128, 16, "type 30: halfway between"},
      {kHorizontalPanel, {right, middleY}, 0, 0, 255, 12, "type 30 ends with the text colour on the right"},
      {kHorizontalPanel, {middleX, 0}, 128, 0, 128, 16, "type 30 is the same from top to bottom"},
      {kHorizontalPanel, {middleX, bottom}, 128, 0, 128, 16, "type 30 is the same from top to bottom"},
      {kVerticalPanel, {middleX, 0}, 255, 0, 0, 24, "type 31 starts with the background colour at the top"},
      {kVerticalPanel, {middleX, bottom}, 0, 0, 255, 24, "type 31 ends with the text colour at the bottom"},
      {kVerticalPanel, {0, middleY}, 128, 0, 128, 24, "type 31 is the same from left to right"},
      {kVerticalPanel, {right, middleY}, 128, 0, 128, 24, "type 31 is the same from left to right"},
      {kSameColoursPanel, {middleX, middleY}, 0, 255, 0, 0, "equal colours: a plain fill"},
      {kPanelWithoutRecord, {middleX, middleY}, GetRValue(face), GetGValue(face), GetBValue(face), 0,
       "no record: the button face"},
  };
  for (const Case& c : cases) {
    COLORREF colour = PixelAt(GetDlgItem(page, c.id), c.at.x, c.at.y);
    EXPECT_TRUE(Near(colour, c.red, c.green, c.blue, c.tolerance))
        << c.what << ": " << Rgb(colour) << " at " << c.at.x << "," << c.at.y;
  }

  HWND plain = GetDlgItem(page, kPlainPanel);
  HDC dc = GetDC(plain);
  EXPECT_EQ(SendMessageW(plain, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1) << "the panel erases nothing";
  ReleaseDC(plain, dc);
}

TEST_F(ControlClasses, AnIconPictureShowsTheProgramsIconNamedByItsText) {
  HWND page = OpenProbePage({{TagOf("c012"), kIconPicture}, {TagOf("c012"), kTextNamingIcon}});
  ASSERT_NE(page, nullptr);
  HWND picture = GetDlgItem(page, kIconPicture);
  ControlInstance* instance = ControlInstanceOf(picture);
  ASSERT_NE(instance, nullptr);
  ASSERT_NE(instance->icon, nullptr) << "icon 1 of the program's resources";
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(picture, STM_GETICON, 0, 0)), instance->icon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(picture, STM_GETIMAGE, IMAGE_ICON, 0)), instance->icon);
  EXPECT_EQ(ControlInstanceOf(GetDlgItem(page, kTextNamingIcon))->icon, nullptr)
      << "a text static keeps its text, even one that names an icon";
  EXPECT_EQ(Text(GetDlgItem(page, kTextNamingIcon)), u"#1");
}

TEST_F(ControlClasses, ALinkWithoutTargetClicksLikeAButton) {
  const uint32_t link = TagOf("c015");
  Action(kProbeTag, 30);
  Action(kProbeTag, 31);
  EventSequence(40, kLink, kEventClicked, {30});
  EventSequence(41, kLinkEmptyTarget, kEventClicked, {31});
  HWND page = OpenProbePage({{link, kLink}, {link, kLinkEmptyTarget}}, {40, 41});
  ASSERT_NE(page, nullptr);
  HWND help = GetDlgItem(page, kLink);

  EXPECT_EQ(SendMessageW(help, WM_NCHITTEST, 0, 0), HTCLIENT) << "a static is otherwise transparent to the mouse";
  EXPECT_EQ(SendMessageW(help, WM_SETCURSOR, reinterpret_cast<WPARAM>(help), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

  SendMessageW(help, BM_CLICK, 0, 0);
  EXPECT_EQ(Probe().calls, std::vector<std::string>({"run:30"})) << "the click message: a command, then event 4";
  SendMessageW(help, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(help, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(Probe().calls.size(), 2u) << "press and release are one click";
  EnableWindow(help, FALSE);
  EnableWindow(help, TRUE);
  EXPECT_EQ(Probe().calls.size(), 2u) << "being disabled and enabled is no click";

  SendMessageW(GetDlgItem(page, kLinkEmptyTarget), BM_CLICK, 0, 0);
  EXPECT_EQ(Probe().calls.back(), "run:31") << "nothing after the line feed: no target";
}

TEST_F(ControlClasses, ALinkOpensItsTargetWithTheShell) {
  test_support::TempFolder folder(u"link");
  std::u16string script = folder.path() + u"\\opened.cmd";
  std::u16string marker = folder.path() + u"\\opened.txt";
  test_support::WriteBytes(script, "@echo opened>\"" + TextToUtf8(marker) + "\"\r\n");
  Action(kProbeTag, 30);
  EventSequence(40, kLinkWithTarget, kEventClicked, {30});
  HWND page = OpenProbePage({{TagOf("c015"), kLinkWithTarget}}, {40});
  ASSERT_NE(page, nullptr);
  HWND link = GetDlgItem(page, kLinkWithTarget);
  SetWindowTextW(link, test_support::W(u"Run the probe\n" + script));

  SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_TRUE(Pumped([&] { return GetFileAttributesW(test_support::W(marker)) != INVALID_FILE_ATTRIBUTES; }, 30000))
      << "the shell opened the target";
  EXPECT_TRUE(Probe().calls.empty()) << "a link with a target sends no command";
}

TEST_F(ControlClasses, ARichTextVerbWorksOnATemporaryCopyOfTheContent) {
  HWND page = OpenProbePage({{TagOf("c016"), kRichText}});
  ASSERT_NE(page, nullptr);
  HWND box = GetDlgItem(page, kRichText);
  uint32_t entries = db_->journal.count;

  // An unknown verb: the shell finds nothing to do (and may say so in a message box).
  Script({Answer(IDOK)});
  SendMessageW(box, kControlVerbMessage, 0, reinterpret_cast<LPARAM>(u"probeverb"));
  ASSERT_EQ(db_->journal.count, entries + 1) << "the file is recorded for deletion at the end of the run";
  SetupObject* entry = db_->journal.items[entries];
  EXPECT_EQ(SlotInt(entry, kEntryState), kEntryTemporary);
  std::u16string path = SlotText(entry, kEntryPath);
  wchar_t temporary[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temporary);
  std::u16string folder = reinterpret_cast<const char16_t*>(temporary);
  ASSERT_EQ(path.rfind(folder, 0), 0u) << TextToUtf8(path);
  std::u16string name = path.substr(folder.size());
  EXPECT_EQ(name.size(), 15u) << "QEL, 8 hexadecimal digits, .rtf";
  EXPECT_EQ(name.rfind(u"QEL", 0), 0u);
  EXPECT_EQ(name.substr(name.size() - 4), u".rtf");
  std::string saved = test_support::ReadBytes(path);
  EXPECT_EQ(saved.rfind("{\\rtf", 0), 0u);
  EXPECT_NE(saved.find("SOFTWARE LICENSE AGREEMENT"), std::string::npos) << "the box's content";
  DeleteFileW(test_support::W(path));

  wchar_t previous[MAX_PATH + 1] = L"";
  DWORD had = GetEnvironmentVariableW(L"TMP", previous, MAX_PATH + 1);
  SetEnvironmentVariableW(L"TMP", L"C:\\no such folder\\");
  SendMessageW(box, kControlVerbMessage, 0, reinterpret_cast<LPARAM>(u"probeverb"));
  SetEnvironmentVariableW(L"TMP", had ? previous : nullptr);
  EXPECT_EQ(db_->journal.count, entries + 1) << "no file, nothing recorded";
  SendMessageW(box, kControlVerbMessage, 0, reinterpret_cast<LPARAM>(u""));
  EXPECT_EQ(db_->journal.count, entries + 1) << "no verb, no file";
}

// A verb of the prefix's rich-text file type, registered for this test and removed after it, copies
// the file it is given.
TEST_F(ControlClasses, TheShellPerformsTheVerbOnTheSavedContent) {
  wchar_t progid[128] = L"";
  DWORD size = sizeof progid;
  if (RegGetValueW(HKEY_CLASSES_ROOT, L".rtf", nullptr, RRF_RT_REG_SZ, nullptr, progid, &size) != ERROR_SUCCESS)
    GTEST_SKIP() << "no file type for .rtf in this prefix";
  test_support::TempFolder folder(u"verb");
  std::u16string marker = folder.path() + u"\\performed.rtf";
  std::u16string verbKey = std::u16string(reinterpret_cast<const char16_t*>(progid)) + u"\\shell\\qelprobe";
  std::u16string command = u"cmd.exe /c copy \"%1\" \"" + marker + u"\"";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, test_support::W(verbKey + u"\\command"), nullptr, REG_SZ,
                            test_support::W(command), DWORD((command.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
  HWND page = OpenProbePage({{TagOf("c016"), kRichText}});
  ASSERT_NE(page, nullptr);
  SendMessageW(GetDlgItem(page, kRichText), kControlVerbMessage, 0, reinterpret_cast<LPARAM>(u"qelprobe"));
  EXPECT_TRUE(Pumped([&] { return test_support::ReadBytes(marker).rfind("{\\rtf", 0) == 0; }, 30000))
      << "the verb's command got the saved file";
  RegDeleteTreeW(HKEY_CLASSES_ROOT, test_support::W(verbKey));
  ASSERT_GT(db_->journal.count, 0u);
  DeleteFileW(test_support::W(SlotText(db_->journal.items[db_->journal.count - 1], kEntryPath)));
}
