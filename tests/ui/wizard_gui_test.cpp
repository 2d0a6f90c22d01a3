// Setup.exe with its wizard on a virtual display: a package of the package builder shows the
// welcome, licence and completion pages; the test finds each page by its title and controls, reads
// the substituted texts and presses the buttons as a user would. Every standard page is saved as a
// screenshot at 96 dpi (ui_hidpi_gui_tests takes them at 192 dpi).
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "resources/dialog_ids.h"
#include "tests/ui/wizard_runs.h"

using namespace wizard_test;

namespace {

std::string ClickThroughProject() {
  return Project(Page("welcome", 75) + Page("license", 66, R"("@agree", "@license_next")") + Page("finish", 65),
                 R"("@show_welcome", "@show_license", "@prepare", "@complete", "@show_finish")");
}

}  // namespace

TEST(Wizard, ClickedThroughFromWelcomeToFinish) {
  WizardRun run(u"wizard_click", ClickThroughProject());
  ASSERT_TRUE(run.Start()) << run.message();
  HWND welcome = run.WaitForPage(IDC_WELCOME_PUBLISHER);
  ASSERT_NE(welcome, nullptr);
  EXPECT_EQ(Text(welcome, IDC_PAGE_TITLE), u"Welcome to the Probe Setup Wizard");
  EXPECT_EQ(Text(welcome, IDC_WELCOME_PUBLISHER), u"Probe Works Ltd.");
  EXPECT_EQ(Text(welcome, IDC_WELCOME_COPYRIGHT), u"Copyright (c) 2025 Probe Works Ltd. All rights reserved.");
  EXPECT_EQ(Text(welcome, IDC_PAGE_TEXT),
            u"The Setup Wizard will install Probe 1.0 on your computer.\n\nTo continue, click Next.");
  Click(welcome, IDC_NEXT);

  HWND license = run.WaitForPage(IDC_LICENSE_AGREE);
  ASSERT_NE(license, nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(license, IDC_NEXT))) << "Next waits for the agreement";
  Click(license, IDC_NEXT);
  Sleep(500);
  EXPECT_TRUE(IsWindow(license)) << "a disabled Next does not leave the page";
  Click(license, IDC_BACK);
  welcome = run.WaitForPage(IDC_WELCOME_PUBLISHER);
  ASSERT_NE(welcome, nullptr) << "Back returns to the welcome page";
  Click(welcome, IDC_NEXT);
  license = run.WaitForPage(IDC_LICENSE_AGREE);
  ASSERT_NE(license, nullptr);
  Click(license, IDC_LICENSE_AGREE);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(license, IDC_NEXT)) != FALSE; }));
  Click(license, IDC_NEXT);

  HWND finish = run.WaitForPage(IDC_COMPLETED_START);
  ASSERT_NE(finish, nullptr);
  EXPECT_EQ(Text(finish, IDC_PAGE_TITLE), u"Setup Wizard Completed");
  Click(finish, IDC_FINISH);
  EXPECT_EQ(run.Finish(), 0u);
  std::string log = run.Log();
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:A1512\\|[^\n]*\\|LicenseAccepted\\|0\\|1\n")));
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:I0060")));
}

TEST(Wizard, CancelAsksAndRollsBack) {
  WizardRun run(u"wizard_cancel", ClickThroughProject());
  ASSERT_TRUE(run.Start()) << run.message();
  HWND welcome = run.WaitForPage(IDC_WELCOME_PUBLISHER);
  ASSERT_NE(welcome, nullptr);
  Click(welcome, IDCANCEL);
  HWND box = run.WaitForWindow([](HWND window) { return GetDlgItem(window, IDYES) != nullptr; });
  ASSERT_NE(box, nullptr) << "the cancel question";
  PostMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
  EXPECT_EQ(run.Finish(), 5u);
  std::string log = run.Log();
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:W0006")));
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:I0057")));
}

TEST(Wizard, EveryPageAt96Dpi) { ShootEveryPage(96); }
