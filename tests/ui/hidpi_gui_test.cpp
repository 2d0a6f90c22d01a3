// The pages at 192 dpi (200 %) on a screen of that class: every standard page saved as a
// screenshot, none reaching past the screen; and the options page with its option tree, whose
// page, rows and boxes must be about twice their size at 96 dpi.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/dialog_ids.h"
#include "runtime/text.h"
#include "tests/ui/screenshot.h"
#include "tests/ui/wizard_runs.h"

using namespace wizard_test;

namespace {

TEST(Wizard, EveryPageAt192Dpi) { ShootEveryPage(192); }

const char kFolderEdit[] = R"(
  {"tag": "c004", "name": "folder_edit", "fields": {"control_id": 1061, "variable": "KesProductFolder"}},
)";

struct OptionsPageSizes {
  SIZE page;
  int row;  // the option tree's item height
  SIZE folder_box;
};

SIZE WindowSize(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Shows the options page with the option tree at `dpi`, measures it and saves it as
// "screenshots/options_tree_<dpi>.png".
OptionsPageSizes MeasureOptionsPage(DWORD dpi) {
  ScreenDpi screen(dpi);
  std::string controls = std::string(kOptionTreeControls) + R"(, "@folder_edit")";
  WizardRun run(u"hidpi_options",
                Project(std::string(kOptionTreeObjects) + kFolderEdit + Page("options", 67, controls),
                        R"("@prepare", "@show_options", "@complete")", kOptionTreeList));
  OptionsPageSizes sizes{};
  EXPECT_TRUE(run.Start()) << run.message();
  HWND page = run.WaitForPage(IDC_OPTIONS_TREE);
  EXPECT_NE(page, nullptr) << dpi << " dpi";
  if (!page) return sizes;
  HWND tree = GetDlgItem(page, IDC_OPTIONS_TREE);
  EXPECT_EQ(TreeView_GetCount(tree), 3u);
  sizes.page = WindowSize(page);
  sizes.row = TreeView_GetItemHeight(tree);
  sizes.folder_box = WindowSize(GetDlgItem(page, IDC_OPTIONS_FOLDER));
  std::u16string name = u"options_tree_" + TextFromUtf8(std::to_string(dpi)) + u".png";
  EXPECT_TRUE(ScreenshotOfWindow(page, ScreenshotFolder() + name));
  Click(page, IDC_NEXT);
  EXPECT_EQ(run.Finish(), 0u) << dpi << " dpi";
  return sizes;
}

// About twice the 96-dpi size. Dialog units follow the dialog font's average character width, which
// does not grow exactly twofold (the page grows 1.85 times here); a control left at its 96-dpi size
// would stay at 1x.
void ExpectScaled(long normal, long scaled, const char* what) {
  EXPECT_GE(scaled * 10, normal * 16) << what << ": " << normal << " at 96 dpi, " << scaled << " at 192";
  EXPECT_LE(scaled * 10, normal * 24) << what << ": " << normal << " at 96 dpi, " << scaled << " at 192";
}

TEST(Wizard, OptionsPageControlsScaleAt192Dpi) {
  OptionsPageSizes normal = MeasureOptionsPage(96);
  OptionsPageSizes scaled = MeasureOptionsPage(192);
  ExpectScaled(normal.page.cx, scaled.page.cx, "page width");
  ExpectScaled(normal.page.cy, scaled.page.cy, "page height");
  ExpectScaled(normal.row, scaled.row, "option tree row");
  ExpectScaled(normal.folder_box.cx, scaled.folder_box.cx, "folder box width");
  ExpectScaled(normal.folder_box.cy, scaled.folder_box.cy, "folder box height");
}

}  // namespace
