// Runs of Setup.exe with its wizard for the user-interface tests: packages of the package builder
// made of the standard pages, a run in a folder of its own, the pages found by title and controls,
// buttons pressed as a user would, and the gallery of every page saved as screenshots.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace wizard_test {

constexpr wchar_t kPageTitle[] = L"Probe 1.0 - Setup Wizard";

// A dialog object `name` of page `template_id` (with the control objects of `controls`, "@a", "@b")
// and its modal run action "show_<name>".
std::string Page(const std::string& name, int template_id, const std::string& controls = "");
// A project of the common objects (installation record, texts, the licence's controls, a100, a101),
// `pages` and the main sequence of `actions`; `installation` adds fields to the installation record
// (", \"options\": [...]").
std::string Project(const std::string& pages, const std::string& actions, const std::string& installation = "");

// The options page's tree: options Core (fixed, 2 KB), Extras (5 KB, title "Extras for
// <ProductName>", unselected) with its child Samples (3 KB) and Hidden (not listed); the variables of
// the selected option's size and the required space; the controls kOptionTreeControls (tree, the
// selected option's size, the required space). kOptionTreeList lists the options in the
// installation record.
extern const char kOptionTreeObjects[];
extern const char kOptionTreeControls[];
extern const char kOptionTreeList[];

// A fresh folder for one run, with the package built from `project` in "out"; the destructor ends a
// run that is still going and removes the folder (printing the log when the test failed).
class WizardRun {
 public:
  WizardRun(const char16_t* name, const std::string& project);
  ~WizardRun();
  bool Start();
  // A visible top-level window of the run that `wanted` accepts, once it appears (null after a minute).
  HWND WaitForWindow(const std::function<bool(HWND)>& wanted);
  // The next page (another window than `previous`) that has `control` (0: any page).
  HWND WaitForPage(int control, HWND previous = nullptr);
  // The exit code (STILL_ACTIVE when the run did not end within two minutes).
  DWORD Finish();
  std::string Log() const;
  // The folder of the run's files (its package is in "out").
  const std::u16string& root() const { return root_; }
  const std::string& message() const { return message_; }

 private:
  std::u16string root_;
  std::string message_;
  bool built_ = false;
  PROCESS_INFORMATION process_{};
};

// Sets the prefix's screen resolution for the programs started next; the destructor restores it.
class ScreenDpi {
 public:
  explicit ScreenDpi(DWORD dpi);
  ~ScreenDpi();
  ScreenDpi(const ScreenDpi&) = delete;
  ScreenDpi& operator=(const ScreenDpi&) = delete;

 private:
  HKEY key_ = nullptr;
  DWORD previous_ = 96;
  bool had_ = false;
};

std::u16string Text(HWND page, int control);
// Types `text` into the control as keystrokes (characters posted to it).
void Type(HWND page, int control, const std::u16string& text);
void Click(HWND page, int control);
bool WaitUntil(const std::function<bool()>& done);

// Shows every standard page once in a run whose screen has `dpi` pixels per inch and saves each as
// "screenshots/page_<id>_<dpi>.png" beside the test program.
void ShootEveryPage(DWORD dpi);

}  // namespace wizard_test
