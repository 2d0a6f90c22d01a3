// Setup.exe asking through its standard dialogs: the password prompt of an enciphered package (a
// wrong answer, the right one, Cancel) and the folder browser behind the Browse button of the
// options page of a short-form project.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "resources/dialog_ids.h"
#include "runtime/text.h"
#include "tests/ui/screenshot.h"
#include "tests/ui/wizard_runs.h"

using namespace wizard_test;

namespace {

std::string EncipheredProject() {
  std::string project = Project("", R"("@prepare", "@complete")");
  const std::string output = R"("level": 1)";
  project.insert(project.find(output) + output.size(), R"(, "password": "Open sesame", "mask_password": true)");
  return project;
}

// A password prompt other than `previous`.
HWND WaitForPrompt(WizardRun* run, HWND previous = nullptr) {
  return run->WaitForWindow([&](HWND window) {
    return window != previous && GetDlgItem(window, IDC_PASSWORD_EDIT) && GetDlgItem(window, IDC_PASSWORD_INCORRECT);
  });
}

bool Visible(HWND dialog, int control) { return IsWindowVisible(GetDlgItem(dialog, control)) != FALSE; }

}  // namespace

TEST(StandardDialogsInSetup, ThePromptAsksAgainAfterAWrongPasswordAndOpensThePackage) {
  WizardRun run(u"password_prompt", EncipheredProject());
  ASSERT_TRUE(run.Start()) << run.message();
  HWND prompt = WaitForPrompt(&run);
  ASSERT_NE(prompt, nullptr);
  EXPECT_TRUE(Visible(prompt, IDC_PASSWORD_REQUIRED));
  EXPECT_FALSE(Visible(prompt, IDC_PASSWORD_INCORRECT));
  EXPECT_EQ(SendMessageW(GetDlgItem(prompt, IDC_PASSWORD_EDIT), EM_GETPASSWORDCHAR, 0, 0), L'*');
  Type(prompt, IDC_PASSWORD_EDIT, u"open sesame");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(prompt, IDOK)) != FALSE; }));
  EXPECT_TRUE(ScreenshotOfWindow(prompt, ScreenshotFolder() + u"password_prompt_setup.png"));
  Click(prompt, IDOK);

  HWND again = WaitForPrompt(&run, prompt);
  ASSERT_NE(again, nullptr) << "a wrong password asks again";
  EXPECT_FALSE(Visible(again, IDC_PASSWORD_REQUIRED));
  EXPECT_TRUE(Visible(again, IDC_PASSWORD_INCORRECT));
  Type(again, IDC_PASSWORD_EDIT, u"Open sesame");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(again, IDOK)) != FALSE; }));
  Click(again, IDOK);
  EXPECT_EQ(run.Finish(), 0u);
  std::string log = run.Log();
  EXPECT_TRUE(std::regex_search(log, std::regex("QEL:W1304\\|[^\n]*\\|0\n"))) << "one wrong attempt";
  EXPECT_EQ(log.find("sesame"), std::string::npos) << "the password never reaches the log";
}

TEST(StandardDialogsInSetup, CancellingThePromptEndsTheRunAsCancelled) {
  WizardRun run(u"password_cancel", EncipheredProject());
  ASSERT_TRUE(run.Start()) << run.message();
  HWND prompt = WaitForPrompt(&run);
  ASSERT_NE(prompt, nullptr);
  Click(prompt, IDCANCEL);
  HWND message = run.WaitForWindow([&](HWND window) {
    wchar_t name[16];
    return window != prompt && GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0 &&
           !GetDlgItem(window, IDC_PASSWORD_EDIT);
  });
  ASSERT_NE(message, nullptr) << "the loader reports the failed open";
  PostMessageW(message, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(run.Finish(), 5u) << "the user cancelled";
  EXPECT_TRUE(std::regex_search(run.Log(), std::regex("QEL:E0002\\|[^\n]*\\|1223\n")));
}

TEST(StandardDialogsInSetup, BrowseOnTheOptionsPageChoosesTheFolderBelowTheChosenOne) {
  WizardRun run(u"browse_folder", R"({"output": {"package": "Setup.exe", "method": "zlib", "level": 1},
    "product": {"name": "Probe", "version": "1.0", "folder": "@PRODUCT_FOLDER@", "pages": ["options"]}})");
  ASSERT_TRUE(run.Start()) << run.message();
  HWND page = run.WaitForWindow([](HWND window) { return GetDlgItem(window, IDC_OPTIONS_BROWSE) != nullptr; });
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Text(page, IDC_OPTIONS_FOLDER), run.root() + u"\\product");
  Click(page, IDC_OPTIONS_BROWSE);
  HWND browser = run.WaitForWindow([](HWND window) { return GetDlgItem(window, IDC_BROWSE_TREE) != nullptr; });
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(Text(browser, IDC_BROWSE_PATH), run.root() + u"\\product") << "it starts at the folder of the page";
  EXPECT_TRUE(ScreenshotOfWindow(browser, ScreenshotFolder() + u"folder_browser_setup.png"));
  SendMessageW(GetDlgItem(browser, IDC_BROWSE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\Apps\\"));
  Click(browser, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_OPTIONS_FOLDER) == u"C:\\Apps\\product"; }))
      << TextToUtf8(Text(page, IDC_OPTIONS_FOLDER));
}
