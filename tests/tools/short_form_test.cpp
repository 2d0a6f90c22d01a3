// The short project form: file patterns, the objects a product expands into, the project's own
// objects beside them, and faulty short forms named by their JSON path.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "tests/package/package_test_support.h"
#include "tools/kez/project_build.h"
#include "tools/kez/project_reading.h"
#include "tools/kez/project_starter.h"
#include "tools/kez/short_form.h"

using nlohmann::json;

namespace {

class ShortFormTest : public ::testing::Test {
 protected:
  TempFolder folder;

  void SetUp() override {
    for (const char* name : {"in/bin/tool.cmd", "in/bin/tool.ini", "in/bin/notes.TXT", "in/docs/readme.txt",
                             "in/docs/guide/start.txt", "in/docs/guide/deep/more.txt", "in/a.bin", "in/b.bin"}) {
      std::filesystem::create_directories((folder.Root() / name).parent_path());
      WriteBytes(folder.Path(name), Bytes(3, uint8_t(name[3])));
    }
    WriteBytes(folder.Path("in/latin1.txt"), Bytes{'c', 'a', 'f', 0xE9});
  }

  static json Product() {
    return json::parse(R"({
      "output": {"package": "Setup.kez", "method": "zlib", "level": 1},
      "product": {
        "name": "Tool", "version": "2.1.0.7", "publisher": "Tool Works",
        "options": [{"name": "main", "fixed": true}, {"name": "docs", "title": "Manuals", "selected": false}],
        "files": [{"source": "in/bin/*"}, {"source": "in/docs/**", "target": "manual", "option": "docs"}],
        "registry": [{"key": "HKEY_CURRENT_USER\\Software\\Tool", "option": "docs",
                      "values": {"Path": "<KesProductFolder>", "Runs": 3, "Parts": ["a", "b"]}}],
        "shortcuts": [{"name": "Tool", "target": "tool.cmd", "icon": "TOOL.cmd", "icon_index": 1, "arguments": "-v"},
                      {"name": "Guide", "target": "manual/guide/start.txt", "option": "docs"},
                      {"name": "Site", "target": "https://tool.example", "folder": "<$shpath(0)>"}],
        "pages": ["finish", "welcome", "progress", "license"]
      }})");
  }

  json Expand(const json& project) { return ShortFormExpand(project, folder.Root().u16string()); }

  // The expanded object of the given name; null when there is none.
  static json Find(const json& expanded, const std::string& name) {
    for (const json& object : expanded["objects"])
      if (object.value("name", "") == name) return object;
    return nullptr;
  }
};

std::vector<std::string> Sources(const std::vector<ShortFormMatch>& matches) {
  std::vector<std::string> sources;
  for (const ShortFormMatch& m : matches) sources.push_back(m.source + "|" + m.subfolder + "|" + m.name);
  return sources;
}

TEST_F(ShortFormTest, PatternsFindFilesInNameOrder) {
  struct Case {
    const char* pattern;
    std::vector<std::string> found;
  } cases[] = {
      {"in/bin/*", {"in/bin/notes.TXT||notes.TXT", "in/bin/tool.cmd||tool.cmd", "in/bin/tool.ini||tool.ini"}},
      {"in/bin/*.txt", {"in/bin/notes.TXT||notes.TXT"}},  // without regard to case
      {"in/?.bin", {"in/a.bin||a.bin", "in/b.bin||b.bin"}},
      {"in/bin/tool.ini", {"in/bin/tool.ini||tool.ini"}},
      {"in/docs/**",
       {"in/docs/guide/deep/more.txt|guide/deep|more.txt", "in/docs/guide/start.txt|guide|start.txt",
        "in/docs/readme.txt||readme.txt"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Sources(ShortFormFiles(c.pattern, folder.Root().u16string(), "p")), c.found) << c.pattern;
  for (const char* refused : {"in/*.exe", "in/missing/*", "in/", "in/.."}) {
    EXPECT_THROW(ShortFormFiles(refused, folder.Root().u16string(), "p"), ProjectFault) << refused;
  }
}

TEST_F(ShortFormTest, ProductExpandsIntoTheInstallersObjects) {
  json expanded = Expand(Product());
  EXPECT_FALSE(expanded.contains("product"));
  json inst = Find(expanded, "installation")["fields"];
  EXPECT_EQ(inst["product"], "Tool");
  EXPECT_EQ(inst["version_high"], "0x00020001");
  EXPECT_EQ(inst["version_low"], "0x00000007");
  EXPECT_EQ(inst["options"], json::parse(R"(["@option_main", "@option_docs"])"));
  EXPECT_EQ(Find(expanded, "product_folder")["fields"]["value"], "<$shpath(38)>\\Tool");
  EXPECT_EQ(Find(expanded, "var_Publisher")["fields"]["value"], "Tool Works");
  EXPECT_EQ(Find(expanded, "option_main")["fields"]["state_if_false"], 4);
  EXPECT_EQ(Find(expanded, "option_docs")["fields"]["state_if_false"], 2);
  EXPECT_EQ(Find(expanded, "option_docs")["fields"]["title"], "Manuals");
  // Each option's sizes are the bytes of its files (three bytes each here).
  EXPECT_EQ(Find(expanded, "option_main")["fields"]["install_size"], 9);
  EXPECT_EQ(Find(expanded, "option_docs")["fields"]["removal_size"], 9);

  // Every file with its option and a folder item whose variable names its folder below the product
  // folder; each folder item's parent is the folder above it.
  auto folderPath = [&](const json& reference) -> std::string {
    std::string variable = Find(expanded, reference.get<std::string>().substr(1))["fields"]["variable"];
    for (const json& v : expanded["objects"])
      if (v["tag"] == "symb" && v["fields"]["name"] == variable) return v["fields"]["value"];
    return "?";
  };
  const std::string root = "<$shpath(38)>\\Tool";
  std::map<std::string, std::string> folderOf;  // file name -> its folder's path
  for (const json& object : expanded["objects"]) {
    if (object["tag"] == "fldr" && object["fields"].contains("parent")) {
      std::string path = folderPath("@" + object["name"].get<std::string>());
      std::string above = path.substr(0, path.rfind('\\'));
      EXPECT_EQ(folderPath(object["fields"]["parent"]), above == "<KesProductFolder>" ? root : above);
    }
    if (object["tag"] != "file") continue;
    folderOf[object["fields"]["name"]] = folderPath(object["fields"]["folder"]);
    std::string option = object["fields"]["options"][0];
    EXPECT_EQ(option, object["source"].get<std::string>().rfind("in/docs", 0) == 0 ? "@option_docs" : "@option_main");
  }
  EXPECT_EQ(folderOf, (std::map<std::string, std::string>{{"notes.TXT", root},
                                                          {"tool.cmd", root},
                                                          {"tool.ini", root},
                                                          {"readme.txt", "<KesProductFolder>\\manual"},
                                                          {"start.txt", "<KesProductFolder>\\manual\\guide"},
                                                          {"more.txt", "<KesProductFolder>\\manual\\guide\\deep"}}));

  // The pages in the wizard's order whatever the order asked; the progress page is modeless and
  // belongs to the nested installing sequence.
  EXPECT_EQ(Find(expanded, "install")["fields"]["actions"],
            json::parse(R"(["@show_welcome", "@show_license", "@run_installing", "@show_finish"])"));
  EXPECT_EQ(Find(expanded, "installing")["fields"]["actions"],
            json::parse(R"(["@show_progress", "@prepare", "@resolve_paths", "@create_folders", "@install_files",
                            "@install_registry", "@create_shortcuts", "@complete"])"));
  EXPECT_EQ(Find(expanded, "show_progress")["fields"]["options"], 0);
  EXPECT_EQ(Find(expanded, "show_license")["fields"]["options"], 1);
  EXPECT_EQ(Find(expanded, "page_license")["fields"]["controls"],
            json::parse(R"(["@license_agree", "@license_next"])"));
  EXPECT_TRUE(Find(expanded, "page_options").is_null()) << "pages not asked for are not made";
}

// The options page's Browse button runs the folder browser on the product folder; the chosen folder
// gets the product folder's own name below it.
TEST_F(ShortFormTest, TheOptionsPageBrowsesForTheProductFolder) {
  for (const char* folder : {"", "D:\\Apps\\Tool Box"}) {
    SCOPED_TRACE(folder);
    json project = Product();
    project["product"]["pages"] = json::array({"options"});
    if (folder[0]) project["product"]["folder"] = folder;
    json expanded = Expand(project);
    EXPECT_EQ(Find(expanded, "page_options")["fields"]["events"], json::parse(R"(["@options_browse_clicked"])"));
    json clicked = Find(expanded, "options_browse_clicked")["fields"];
    EXPECT_EQ(clicked["event_key"], 1062u << 16 | 4) << "control 1062, clicked";
    EXPECT_EQ(clicked["actions"], json::parse(R"(["@browse_folder"])"));
    json browse = Find(expanded, "browse_folder");
    EXPECT_EQ(browse["tag"], "a212");
    EXPECT_EQ(browse["fields"]["mode"], 0);
    EXPECT_EQ(browse["fields"]["variable"], "KesProductFolder");
    EXPECT_EQ(browse["fields"]["default_name"], folder[0] ? "Tool Box" : "Tool");
  }
}

TEST_F(ShortFormTest, RegistryValuesTakeTheirTypeFromTheirData) {
  json expanded = Expand(Product());
  json key = Find(expanded, "registry_key_1")["fields"];
  EXPECT_EQ(key["variable"], "RegistryKey1");
  EXPECT_EQ(key["options"], json::parse(R"(["@option_docs"])"));
  EXPECT_EQ(Find(expanded, "registry_key_variable_1")["fields"]["value"], "HKEY_CURRENT_USER\\Software\\Tool");
  std::map<std::string, std::pair<std::string, int>> values;
  for (const json& object : expanded["objects"])
    if (object["tag"] == "regv") {
      EXPECT_EQ(object["fields"]["key"], "@registry_key_1");
      values[object["fields"]["name"]] = {object["fields"]["data"], object["fields"]["value_type"]};
    }
  EXPECT_EQ(values, (std::map<std::string, std::pair<std::string, int>>{
                        {"Path", {"<KesProductFolder>", 1}}, {"Runs", {"3", 4}}, {"Parts", {"a\x1F" "b", 7}}}));
}

TEST_F(ShortFormTest, ShortcutsPointIntoTheProductFolderFromTheirFolders) {
  json expanded = Expand(Product());
  json tool = Find(expanded, "shortcut_1")["fields"];
  EXPECT_EQ(tool["target"], "<KesProductFolder>\\tool.cmd");
  EXPECT_EQ(tool["arguments"], "-v");
  EXPECT_EQ(tool["options"], json::parse(R"(["@option_main"])"));
  EXPECT_EQ(tool["icon_index"], 1);
  std::string icon = tool["icon_file"].get<std::string>().substr(1);
  EXPECT_EQ(Find(expanded, icon)["fields"]["name"], "tool.cmd") << "the icon names the product's file";
  EXPECT_EQ(Find(expanded, "shortcut_2")["fields"]["target"], "<KesProductFolder>\\manual\\guide\\start.txt");
  EXPECT_EQ(Find(expanded, "shortcut_3")["fields"]["target"], "https://tool.example");

  // Two folders: the product's folder of the Start menu's programs, shared by the first two, and the
  // third's own.
  EXPECT_EQ(tool["folder"], "@shortcut_folder_1");
  EXPECT_EQ(Find(expanded, "shortcut_2")["fields"]["folder"], "@shortcut_folder_1");
  EXPECT_EQ(Find(expanded, "shortcut_3")["fields"]["folder"], "@shortcut_folder_2");
  EXPECT_EQ(Find(expanded, "shortcut_folder_variable_1")["fields"]["value"], "<$shpath(2)>\\Tool");
  EXPECT_EQ(Find(expanded, "shortcut_folder_variable_2")["fields"]["value"], "<$shpath(0)>");
  EXPECT_EQ(Find(expanded, "shortcut_folder_2")["fields"]["variable"], "ShortcutFolder2");
}

// The licence and read-me texts reach their pages' rich-text boxes through variables, quoted so that
// "<" and "`" in them stay as they are.
TEST_F(ShortFormTest, LicenceAndReadMeTextsGoToTheirPages) {
  WriteBytes(folder.Path("in/license.rtf"), Bytes{'{', '\\', 'r', 't', 'f', '1', ' ', '<', 'a', '>', '`', '}'});
  std::string readme = "\xEF\xBB\xBF" "Read me: caf\xC3\xA9";
  WriteBytes(folder.Path("in/readme.txt"), Bytes(readme.begin(), readme.end()));
  json project = Product();
  project["product"]["license"] = "in/license.rtf";
  project["product"]["readme"] = "in/readme.txt";
  project["product"]["pages"] = json::parse(R"(["license", "readme"])");
  json expanded = Expand(project);
  EXPECT_EQ(Find(expanded, "var_LicenseText")["fields"]["value"], "`{\\rtf1 <a>``}`");
  EXPECT_EQ(Find(expanded, "var_ReadmeText")["fields"]["value"], "`Read me: caf\xC3\xA9`") << "without its mark";
  EXPECT_EQ(Find(expanded, "license_text")["fields"]["variable"], "LicenseText");
  EXPECT_EQ(Find(expanded, "page_readme")["fields"]["controls"], json::parse(R"(["@readme_text"])"));
  // Without a licence text the page keeps the runtime's own.
  EXPECT_TRUE(Find(Expand(Product()), "license_text").is_null());
}

// The finish page hides its restart question when it opens (event 1) unless the run needs a restart,
// and always hides the start check box (the short form names no application to start); the options
// page's free space is measured in the product folder.
TEST_F(ShortFormTest, FinishPageShowsTheRestartQuestionOnlyWhenNeeded) {
  json expanded = Expand(Product());
  json finish = Find(expanded, "page_finish");
  ASSERT_EQ(finish["fields"]["events"], json::parse(R"(["@page_finish_opened"])"));
  json opened = Find(expanded, "page_finish_opened");
  EXPECT_EQ(opened["fields"]["event_key"], 1);
  ASSERT_EQ(opened["fields"]["actions"].size(), 4u);
  for (const json& reference : opened["fields"]["actions"]) {
    json hide = Find(expanded, reference.get<std::string>().substr(1));
    EXPECT_EQ(hide["tag"], "a203");
    EXPECT_EQ(hide["fields"]["operation"], 0);
    std::string target = hide["fields"]["target"];
    EXPECT_EQ(hide["fields"].value("condition", ""), target == "@finish_start" ? "" : "RestartNeeded = 0") << target;
    EXPECT_FALSE(Find(expanded, target.substr(1)).is_null()) << target;
  }
  EXPECT_EQ(Find(expanded, "var_RestartNeeded")["fields"]["variable_id"], 507);
  EXPECT_EQ(Find(expanded, "var_InstallFolderVariable")["fields"]["value"], "KesProductFolder");

  EXPECT_TRUE(Find(expanded, "page_welcome")["fields"].value("events", json()).is_null());
}

// The options page lists the options in a tree and shows the selected one's description and size.
TEST_F(ShortFormTest, TheOptionsPageShowsTheOptionTree) {
  json project = Product();
  project["product"]["pages"] = json::array({"options"});
  json expanded = Expand(project);
  json controls = Find(expanded, "page_options")["fields"]["controls"];
  for (const char* control : {"@options_tree", "@options_description", "@options_size"})
    EXPECT_NE(std::find(controls.begin(), controls.end(), control), controls.end()) << control;
  EXPECT_EQ(Find(expanded, "options_tree")["tag"], "c008");
  EXPECT_EQ(Find(expanded, "options_description")["fields"]["variable"], "OptionDescription");
  EXPECT_EQ(Find(expanded, "var_OptionDescription")["fields"]["variable_id"], 515);
  EXPECT_EQ(Find(expanded, "var_OptionSize")["fields"]["variable_id"], 518);
}

TEST_F(ShortFormTest, ProjectObjectsReplaceGeneratedOnesOfTheSameNameAndAddTheirOwn) {
  json project = Product();
  project["objects"] = json::parse(R"([
    {"tag": "symb", "name": "var_UIWizardName", "fields": {"variable_id": 1002, "name": "UIWizardName", "value": "Tool Setup"}},
    {"tag": "a200", "name": "hello", "fields": {"name": "Hello"}}])");
  json expanded = Expand(project);
  EXPECT_EQ(Find(expanded, "var_UIWizardName")["fields"]["value"], "Tool Setup");
  EXPECT_EQ(expanded["objects"].back()["name"], "hello");
  size_t wizardNames = 0;
  for (const json& object : expanded["objects"]) wizardNames += object["name"] == "var_UIWizardName";
  EXPECT_EQ(wizardNames, 1u);
}

TEST_F(ShortFormTest, ExpandedProductBuildsAndAProjectWithoutOneIsUnchanged) {
  ProjectBuildOptions options;
  options.output = folder.Path("out");
  options.quiet = true;
  std::string message;
  EXPECT_EQ(ProjectBuild(Product().dump(), folder.Root().u16string(), options, &message), 0u) << message;
  json plain = json::parse(R"({"objects": [{"tag": "a000", "name": "x"}]})");
  EXPECT_EQ(Expand(plain), plain);
}

TEST_F(ShortFormTest, FaultyShortFormsNameTheirPath) {
  struct Bad {
    const char* patch;  // merged into the product
    const char* path;
  } cases[] = {
      {R"({"name": null})", "product: the product needs a \"name\""},
      {R"({"colour": "red"})", "product.colour: unknown member"},
      {R"({"version": "2.x"})", "product.version: "},
      {R"({"version": "1.2.3.4.5"})", "product.version: "},
      {R"({"version": "70000"})", "product.version: "},
      {R"({"pages": ["welcome", "splash"]})", "product.pages[1]: no standard page"},
      {R"({"pages": ["welcome", "welcome"]})", "product.pages[1]: the page"},
      {R"({"options": [{"name": "main"}, {"name": "main"}]})", "product.options[1].name: a second option"},
      {R"({"files": [{"source": "in/*.exe"}]})", "product.files[0].source: no file matches"},
      {R"({"files": [{"source": "in/bin/*", "option": "extras"}]})", "product.files[0].option: no option"},
      {R"({"files": [{"source": "in/bin/*", "target": "../up"}]})", "product.files[0].target: "},
      {R"({"files": [{"source": "in/bin/*", "target": "C:/x"}]})", "product.files[0].target: "},
      {R"({"files": [{"source": "in/bin/*"}, {"source": "in/bin/tool.ini"}]})", "product.files[1]: a second file"},
      {R"({"registry": [{"values": {}}]})", "product.registry[0]: a registry key needs"},
      {R"({"registry": [{"key": "HKEY_CURRENT_USER\\X", "values": {"N": -1}}]})", "product.registry[0].values.N: "},
      {R"({"registry": [{"key": "HKEY_CURRENT_USER\\X", "values": {"N": [1]}}]})", "product.registry[0].values.N[0]: "},
      {R"({"registry": [{"key": "HKEY_CURRENT_USER\\X", "view": 9}]})", "product.registry[0].view: "},
      {R"({"shortcuts": [{"name": "A"}]})", "product.shortcuts[0]: a shortcut needs a \"target\""},
      {R"({"shortcuts": [{"name": "A", "target": "a", "icon": "missing.ico"}]})", "product.shortcuts[0].icon: "},
      {R"({"shortcuts": [{"name": "A", "target": "a", "hotkey": 1}]})", "product.shortcuts[0].hotkey: unknown"},
      {R"({"shortcuts": {"name": "A"}})", "product.shortcuts: "},
      {R"({"license": "in/missing.rtf"})", "product.license: cannot read"},
      {R"({"readme": "in/latin1.txt"})", "product.readme: \"in/latin1.txt\" is not UTF-8"},
  };
  for (const Bad& bad : cases) {
    json project = Product();
    project["product"].merge_patch(json::parse(bad.patch));
    try {
      Expand(project);
      ADD_FAILURE() << bad.patch << " was accepted";
    } catch (const ProjectFault& fault) {
      EXPECT_EQ(fault.message.rfind(bad.path, 0), 0u) << bad.patch << ": " << fault.message;
    }
  }
}

// `kez new`: the starter project builds as it is; it is not written over anything.
TEST_F(ShortFormTest, StarterProjectBuildsAndIsNotWrittenOverAFolderInUse) {
  std::string message;
  ASSERT_EQ(ProjectStarterWrite(folder.Path("Gadget"), "Gadget", &message), 0u) << message;
  std::ifstream in(folder.Root() / "Gadget" / "project.json");
  json project = json::parse(in);
  EXPECT_EQ(project["product"]["name"], "Gadget");
  std::string code = project["header"]["package_code"];
  EXPECT_EQ(code.size(), 38u) << code;
  project["output"]["package"] = "Setup.kez";  // a package without the runtime, which this test lacks
  ProjectBuildOptions options;
  options.output = folder.Path("out");
  options.quiet = true;
  EXPECT_EQ(ProjectBuild(project.dump(), folder.Path("Gadget"), options, &message), 0u) << message;

  EXPECT_EQ(ProjectStarterWrite(folder.Path("Gadget"), "Gadget", &message), 1u) << "not over a project";
  EXPECT_NE(message.find("not an empty folder"), std::string::npos) << message;
  for (const char* bad : {"", "a/b", "what?", "dot.", "x:y"})
    EXPECT_EQ(ProjectStarterWrite(folder.Path("other"), bad, &message), 1u) << bad;
  ASSERT_EQ(ProjectStarterWrite(folder.Path("Gizmo"), "Gizmo", &message), 0u) << message;
  std::ifstream again(folder.Root() / "Gizmo" / "project.json");
  EXPECT_NE(json::parse(again)["header"]["package_code"], code) << "each product its own code";
}

}  // namespace
