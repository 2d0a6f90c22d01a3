// Expansion of the short project form into objects (README, "Short form").
#include "tools/kez/short_form.h"

#include <algorithm>
#include <map>
#include <utility>
#include <set>

#include "tools/kez/project_reading.h"

using nlohmann::json;

namespace {

// Mode rules of generated items: files replace older copies and install when absent, and go on
// removal; folders go on removal only when nothing is left in them, so a user's own files in the
// product folder survive.
constexpr int kFileInstallMode = 4, kFileRemovalMode = -3;
constexpr int kFolderInstallMode = 4, kFolderRemovalMode = -1;
// Registry values are set and removed; their keys are created and go only when left empty.
constexpr int kValueInstallMode = 5, kValueRemovalMode = -3;
constexpr int kKeyInstallMode = 5, kKeyRemovalMode = -1;
// Shortcuts are made and removed with the product; they open a normal window.
constexpr int kShortcutInstallMode = 4, kShortcutRemovalMode = -3;
constexpr int kShowNormal = 1;

// Selection states of an option (README, options): 2 not selected, 3 selected, 4 selected and fixed.
constexpr int kNotSelected = 2, kSelected = 3, kFixed = 4;

struct Variable {
  int id;
  const char* name;
  const char* member;  // the product member giving the value, or null
  const char* value;   // the value when there is no member
};

// The variables the runtime publishes progress through and those the standard pages' texts name.
const Variable kVariables[] = {
    {500, "ProgressDetail", nullptr, ""},
    {501, "ProgressText", nullptr, ""},
    {504, "ProgressPosition", nullptr, "0"},
    {1000, "ProductName", "name", ""},
    {1001, "ProductVersion", "version", "1.0"},
    {1002, "UIWizardName", nullptr, "Setup Wizard"},
    {1003, "Publisher", "publisher", ""},
    {1004, "WebSite", "web_site", ""},
    {1005, "Email", "email", ""},
    {1006, "Copyright", "copyright", ""},
    {1007, "LicenseAccepted", nullptr, "0"},
    {520, "RequiredBytes", nullptr, "0"},
    {430, "NeededBytes", nullptr, "0"},
    {426, "InstallFolderVariable", nullptr, "KesProductFolder"},  // the free space below is measured there
    {427, "InstallRoot", nullptr, ""},
    {428, "FreeBytes", nullptr, "0"},
    {429, "LeftBytes", nullptr, "0"},
    {507, "RestartNeeded", nullptr, "0"},
    {515, "OptionDescription", nullptr, ""},  // the option selected in the tree
    {516, "OptionTitle", nullptr, ""},
    {518, "OptionSize", nullptr, "0"},
};

struct Page {
  const char* name;
  int template_id;
  bool modal;
};

// Standard pages in the order the wizard shows them (README, the wizard's control ids). The progress
// page is modeless: it stays while the installing sequence runs and closes when that sequence ends.
const Page kPages[] = {
    {"welcome", 75, true}, {"license", 66, true},   {"readme", 70, true},
    {"options", 67, true}, {"progress", 68, false}, {"finish", 65, true},
};

struct PageControl {
  const char* page;
  const char* needs;  // the product member without which the control is not made, or null
  const char* tag;
  const char* name;
  const char* fields;  // JSON
};

// The control objects each page gets: the licence's check box enables Next; the options page's
// folder box (flag 0x2: it may not be left empty) and space texts; the progress page's texts and bar.
const PageControl kPageControls[] = {
    {"license", nullptr, "c003", "license_agree",
     R"({"control_id": 1041, "variable": "LicenseAccepted", "checked_value": "1", "unchecked_value": "0"})"},
    {"license", nullptr, "c002", "license_next", R"({"control_id": 12324, "condition": "LicenseAccepted = 1"})"},
    {"options", nullptr, "c008", "options_tree", R"({"control_id": 1050})"},
    {"options", nullptr, "c010", "options_description", R"({"control_id": 1051, "variable": "OptionDescription"})"},
    {"options", nullptr, "c010", "options_size", R"({"control_id": 1053, "variable": "OptionSize", "display": 1})"},
    {"options", nullptr, "c010", "options_required", R"({"control_id": 1055, "variable": "RequiredBytes", "display": 1})"},
    {"options", nullptr, "c010", "options_left", R"({"control_id": 1059, "variable": "LeftBytes", "display": 1})"},
    {"options", nullptr, "c004", "options_folder", R"({"control_id": 1061, "variable": "KesProductFolder", "flags": "0x2"})"},
    {"options", nullptr, "c002", "options_browse", R"({"control_id": 1062})"},
    {"progress", nullptr, "c010", "progress_main", R"({"control_id": 1070, "variable": "ProgressText"})"},
    {"progress", nullptr, "c010", "progress_detail", R"({"control_id": 1071, "variable": "ProgressDetail"})"},
    {"progress", nullptr, "c017", "progress_bar", R"({"control_id": 1072, "variable": "ProgressPosition"})"},
    {"progress", nullptr, "c010", "progress_percent", R"({"control_id": 1073, "variable": "ProgressPosition", "display": 2})"},
    {"license", "license", "c016", "license_text", R"({"control_id": 1040, "variable": "LicenseText"})"},
    {"readme", "readme", "c016", "readme_text", R"({"control_id": 1080, "variable": "ReadmeText"})"},
    {"finish", nullptr, "c003", "finish_start", R"({"control_id": 1030})"},
    {"finish", nullptr, "c010", "finish_restart_text", R"({"control_id": 1031})"},
    {"finish", nullptr, "c009", "finish_restart_now", R"({"control_id": 1032})"},
    {"finish", nullptr, "c009", "finish_restart_later", R"({"control_id": 1033})"},
};

struct HiddenControl {
  const char* page;
  const char* control;    // a control object of kPageControls
  const char* condition;  // hidden when true; null: always (the short form starts no application)
};

// The controls a page hides when it opens (its event 1): the finish page's restart question shows
// only when the installation needs a restart.
const HiddenControl kHiddenControls[] = {
    {"finish", "finish_start", nullptr},
    {"finish", "finish_restart_text", "RestartNeeded = 0"},
    {"finish", "finish_restart_now", "RestartNeeded = 0"},
    {"finish", "finish_restart_later", "RestartNeeded = 0"},
};

json Object(const char* tag, const std::string& name, json fields) {
  return {{"tag", tag}, {"name", name}, {"fields", std::move(fields)}};
}

json Action(const char* tag, const std::string& name, const std::string& title, int text_id,
            json fields = json::object()) {
  fields["name"] = title;
  fields["progress_text_id"] = text_id;
  return Object(tag, name, std::move(fields));
}

const std::string& NeededText(const json& product, const char* key) {
  if (!product.contains(key)) Refuse("product", std::string("the product needs a \"") + key + "\"");
  return Text(product[key], Member("product", key));
}

// "1.2.3.4" into the installation record's two version words (major.minor, build.revision).
void VersionWords(const std::string& version, json* fields) {
  std::vector<unsigned> parts;
  for (size_t at = 0;;) {
    size_t end = std::min(version.find('.', at), version.size());
    std::string part = version.substr(at, end - at);
    if (parts.size() == 4 || part.empty() || part.size() > 5 ||
        part.find_first_not_of("0123456789") != std::string::npos || std::stoul(part) > 0xFFFF)
      Refuse("product.version", "a version is one to four numbers 0-65535 separated by dots, not " + Quoted(version));
    parts.push_back(unsigned(std::stoul(part)));
    if (end == version.size()) break;
    at = end + 1;
  }
  parts.resize(4);
  char word[16];
  snprintf(word, sizeof word, "0x%08X", parts[0] << 16 | parts[1]);
  (*fields)["version_high"] = word;
  snprintf(word, sizeof word, "0x%08X", parts[2] << 16 | parts[3]);
  (*fields)["version_low"] = word;
}

void AddVariables(const json& product, json* objects) {
  objects->push_back(Object("symb", "product_folder",
                            {{"variable_id", 409},
                             {"name", "KesProductFolder"},
                             {"value", product.contains("folder")
                                           ? Text(product["folder"], "product.folder")
                                           : "<$shpath(38)>\\" + NeededText(product, "name")}}));
  for (const Variable& v : kVariables) {
    std::string value = v.value;
    if (v.member && product.contains(v.member)) value = Text(product[v.member], Member("product", v.member));
    objects->push_back(Object("symb", std::string("var_") + v.name,
                              {{"variable_id", v.id}, {"name", v.name}, {"value", value}}));
  }
}

// The licence and read-me texts: each file's content in a variable that the rich-text box of its page
// shows, quoted in backticks so that nothing in it is taken for a variable reference.
void AddTexts(const json& product, const std::u16string& base, json* objects) {
  struct TextVariable {
    const char* member;
    int id;
    const char* name;
  };
  static const TextVariable kTexts[] = {{"license", 1008, "LicenseText"}, {"readme", 1009, "ReadmeText"}};
  for (const TextVariable& t : kTexts) {
    if (!product.contains(t.member)) continue;
    std::string where = Member("product", t.member);
    std::string text = ShortFormReadText(Text(product[t.member], where), base, where);
    std::string quoted = "`";
    for (char c : text) quoted += c == '`' ? std::string("``") : std::string(1, c);
    objects->push_back(Object("symb", std::string("var_") + t.name,
                              {{"variable_id", t.id}, {"name", t.name}, {"value", quoted + "`"}}));
  }
}

// Options in the given order; returns their names.
std::vector<std::string> AddOptions(const json& product, json* objects) {
  std::vector<std::string> names;
  if (!product.contains("options")) return names;
  const json& options = product["options"];
  if (!options.is_array()) Refuse("product.options", "the options are an array");
  for (size_t i = 0; i < options.size(); ++i) {
    std::string where = Item("product.options", i);
    const json& option = options[i];
    AllowOnly(option, where, {"name", "title", "description", "selected", "fixed"});
    if (!option.contains("name")) Refuse(where, "an option needs a \"name\"");
    const std::string& name = Text(option["name"], Member(where, "name"));
    if (std::find(names.begin(), names.end(), name) != names.end()) Refuse(Member(where, "name"), "a second option " + Quoted(name));
    bool selected = !option.contains("selected") || Flag(option["selected"], Member(where, "selected"));
    bool fixed = option.contains("fixed") && Flag(option["fixed"], Member(where, "fixed"));
    int state = fixed ? kFixed : selected ? kSelected : kNotSelected;
    json fields = {{"name", name}, {"flags", "0x4"}, {"state_if_false", state}, {"state_if_true", state},
                   {"title", option.contains("title") ? Text(option["title"], Member(where, "title")) : name}};
    if (option.contains("description")) fields["description"] = Text(option["description"], Member(where, "description"));
    objects->push_back(Object("cmp9", "option_" + name, std::move(fields)));
    names.push_back(name);
  }
  return names;
}

// Folder items: the product folder ("") and every folder below it that holds files, each with the
// variable that names its path and its parent item.
class Folders {
 public:
  explicit Folders(json* objects) : objects_(objects) {
    references_[""] = "@folder";
    objects_->push_back(Object("fldr", "folder", {{"variable", "KesProductFolder"}, {"install_mode", kFolderInstallMode},
                                                  {"removal_mode", kFolderRemovalMode}}));
  }

  // The reference to the folder item of `relative` ("a/b"), made with its parents when new.
  std::string Reference(const std::string& relative) {
    auto known = references_.find(relative);
    if (known != references_.end()) return known->second;
    size_t slash = relative.find_last_of('/');
    std::string parent = Reference(slash == std::string::npos ? "" : relative.substr(0, slash));
    std::string index = std::to_string(references_.size());
    std::string variable = "KesProductFolder" + index, windows = relative;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    objects_->push_back(Object("symb", "folder_variable_" + index,
                               {{"variable_id", 2000 + references_.size()}, {"name", variable},
                                {"value", "<KesProductFolder>\\" + windows}}));
    objects_->push_back(Object("fldr", "folder_" + index,
                               {{"variable", variable}, {"parent", parent}, {"install_mode", kFolderInstallMode},
                                {"removal_mode", kFolderRemovalMode}}));
    return references_[relative] = "@folder_" + index;
  }

 private:
  json* objects_;
  std::map<std::string, std::string> references_;
};

std::string CleanFolder(const json& value, const std::string& where) {
  std::string folder = Text(value, where);
  std::replace(folder.begin(), folder.end(), '\\', '/');
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  for (size_t at = 0; at <= folder.size();) {
    size_t end = std::min(folder.find('/', at), folder.size());
    std::string part = folder.substr(at, end - at);
    if (part.empty() || part == "." || part == ".." || part.find(':') != std::string::npos)
      Refuse(where, "a target is a folder below the product folder, not " + Quoted(folder));
    at = end + 1;
  }
  return folder;
}

// The options list of an item: its "option", or else the first option of the product (none when the
// product has no options).
json OptionOf(const json& item, const std::string& where, const std::vector<std::string>& options) {
  json list = json::array();
  if (item.contains("option")) {
    const std::string& name = Text(item["option"], Member(where, "option"));
    if (std::find(options.begin(), options.end(), name) == options.end())
      Refuse(Member(where, "option"), "no option " + Quoted(name));
    list.push_back("@option_" + name);
  } else if (!options.empty()) {
    list.push_back("@option_" + options.front());
  }
  return list;
}

// Each option's install and removal size: the bytes of the files it installs.
void SetOptionSizes(const std::map<std::string, uint64_t>& sizes, json* objects) {
  for (json& object : *objects) {
    if (object["tag"] != "cmp9") continue;
    auto size = sizes.find(object["name"].get<std::string>());
    if (size == sizes.end()) continue;
    object["fields"]["install_size"] = size->second;
    object["fields"]["removal_size"] = size->second;
  }
}

// Lower-case paths of the product's files relative to the product folder ("docs/guide/start.txt")
// and the names of their objects.
using FileNames = std::map<std::string, std::string>;

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(tolower(c)); });
  return text;
}

FileNames AddFiles(const json& product, const std::u16string& base, const std::vector<std::string>& options,
                   json* objects) {
  FileNames names;
  if (!product.contains("files")) return names;
  const json& files = product["files"];
  if (!files.is_array()) Refuse("product.files", "the files are an array");
  Folders folders(objects);
  std::map<std::string, uint64_t> sizes;  // by option object name
  for (size_t i = 0; i < files.size(); ++i) {
    std::string where = Item("product.files", i);
    AllowOnly(files[i], where, {"source", "target", "option"});
    if (!files[i].contains("source")) Refuse(where, "a file pattern needs a \"source\"");
    std::string target = files[i].contains("target") ? CleanFolder(files[i]["target"], Member(where, "target")) : "";
    json option = OptionOf(files[i], where, options);
    for (const ShortFormMatch& match : ShortFormFiles(Text(files[i]["source"], Member(where, "source")), base,
                                                      Member(where, "source"))) {
      std::string folder = target;
      if (!match.subfolder.empty()) folder += (folder.empty() ? "" : "/") + match.subfolder;
      std::string relative = (folder.empty() ? "" : folder + "/") + match.name;
      std::string object = "file_" + std::to_string(names.size() + 1);
      if (!names.emplace(LowerCase(relative), object).second) Refuse(where, "a second file for " + Quoted(relative));
      objects->push_back({{"tag", "file"}, {"name", object}, {"source", match.source},
                          {"fields", {{"folder", folders.Reference(folder)}, {"name", match.name},
                                      {"options", option}, {"install_mode", kFileInstallMode},
                                      {"removal_mode", kFileRemovalMode}}}});
      if (!option.empty()) sizes[option[0].get<std::string>().substr(1)] += match.size;
    }
  }
  SetOptionSizes(sizes, objects);
  return names;
}

// A registry value's data and type from its JSON value: a text is a string (type 1), a number a
// 32-bit number (4), an array of texts a multi-string (7, the texts separated by 0x1F).
std::pair<std::string, int> ValueData(const json& value, const std::string& where) {
  if (value.is_string()) return {value.get<std::string>(), 1};
  if (value.is_number_unsigned() && value.get<uint64_t>() <= 0xFFFFFFFFu)
    return {std::to_string(value.get<uint64_t>()), 4};
  if (value.is_array() && !value.empty()) {
    std::string joined;
    for (size_t i = 0; i < value.size(); ++i) {
      const std::string& text = Text(value[i], Item(where, i));
      if (text.find('\x1F') != std::string::npos) Refuse(Item(where, i), "a text of a multi-string holds no 0x1F");
      joined += (i ? "\x1F" : "") + text;
    }
    return {joined, 7};
  }
  Refuse(where, "a value is a text, a number 0-4294967295 or an array of texts, not " + value.dump());
}

// Registry keys (each with the variable that names its path) and their values.
void AddRegistry(const json& product, const std::vector<std::string>& options, json* objects) {
  if (!product.contains("registry")) return;
  const json& keys = product["registry"];
  if (!keys.is_array()) Refuse("product.registry", "the registry keys are an array");
  size_t values = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string where = Item("product.registry", i);
    AllowOnly(keys[i], where, {"key", "view", "option", "values"});
    if (!keys[i].contains("key")) Refuse(where, "a registry key needs a \"key\"");
    std::string index = std::to_string(i + 1);
    json option = OptionOf(keys[i], where, options);
    objects->push_back(Object("symb", "registry_key_variable_" + index,
                              {{"variable_id", 2500 + i + 1}, {"name", "RegistryKey" + index},
                               {"value", Text(keys[i]["key"], Member(where, "key"))}}));
    json key = {{"variable", "RegistryKey" + index}, {"options", option}, {"install_mode", kKeyInstallMode},
                {"removal_mode", kKeyRemovalMode}};
    key["view"] = keys[i].contains("view") ? Number(keys[i]["view"], Member(where, "view"), 5) : 0;
    objects->push_back(Object("regk", "registry_key_" + index, std::move(key)));
    if (!keys[i].contains("values")) continue;
    if (!keys[i]["values"].is_object()) Refuse(Member(where, "values"), "the values are an object of names and data");
    for (const auto& value : keys[i]["values"].items()) {
      auto [data, type] = ValueData(value.value(), Member(Member(where, "values"), value.key()));
      objects->push_back(Object("regv", "registry_value_" + std::to_string(++values),
                                {{"key", "@registry_key_" + index}, {"name", value.key()}, {"data", data},
                                 {"value_type", type}, {"options", option}, {"install_mode", kValueInstallMode},
                                 {"removal_mode", kValueRemovalMode}}));
    }
  }
}

// A shortcut's target: a path relative to the product folder ("bin/tally.exe"), or as given when it
// is an address, a full path or starts with a variable.
std::string ShortcutTarget(const std::string& target) {
  if (target.find(':') != std::string::npos || target.rfind("<", 0) == 0 || target.rfind("\\\\", 0) == 0)
    return target;
  std::string windows = target;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return "<KesProductFolder>\\" + windows;
}

// Shortcuts, each in its folder (by default the product's folder of the Start menu's programs), with
// a folder item per distinct folder; the icon names one of the product's files.
void AddShortcuts(const json& product, const FileNames& files, const std::vector<std::string>& options,
                  json* objects) {
  if (!product.contains("shortcuts")) return;
  const json& shortcuts = product["shortcuts"];
  if (!shortcuts.is_array()) Refuse("product.shortcuts", "the shortcuts are an array");
  std::map<std::string, std::string> folders;  // folder path -> folder item name
  for (size_t i = 0; i < shortcuts.size(); ++i) {
    std::string where = Item("product.shortcuts", i);
    const json& shortcut = shortcuts[i];
    AllowOnly(shortcut, where,
              {"name", "target", "folder", "arguments", "description", "working_folder", "icon", "icon_index", "option"});
    for (const char* needed : {"name", "target"})
      if (!shortcut.contains(needed)) Refuse(where, std::string("a shortcut needs a \"") + needed + "\"");
    std::string folder = shortcut.contains("folder") ? Text(shortcut["folder"], Member(where, "folder"))
                                                     : "<$shpath(2)>\\" + NeededText(product, "name");
    std::string& folder_item = folders[folder];
    if (folder_item.empty()) {
      std::string index = std::to_string(folders.size());
      folder_item = "shortcut_folder_" + index;
      objects->push_back(Object("symb", "shortcut_folder_variable_" + index,
                                {{"variable_id", 2600 + folders.size()}, {"name", "ShortcutFolder" + index},
                                 {"value", folder}}));
      objects->push_back(Object("fldr", folder_item,
                                {{"variable", "ShortcutFolder" + index}, {"install_mode", kFolderInstallMode},
                                 {"removal_mode", kFolderRemovalMode}}));
    }
    json fields = {{"folder", "@" + folder_item},
                   {"name", Text(shortcut["name"], Member(where, "name"))},
                   {"target", ShortcutTarget(Text(shortcut["target"], Member(where, "target")))},
                   {"show_command", kShowNormal},
                   {"options", OptionOf(shortcut, where, options)},
                   {"install_mode", kShortcutInstallMode},
                   {"removal_mode", kShortcutRemovalMode}};
    for (const char* text : {"arguments", "description", "working_folder"})
      if (shortcut.contains(text)) fields[text] = Text(shortcut[text], Member(where, text));
    if (shortcut.contains("icon")) {
      std::string icon = Text(shortcut["icon"], Member(where, "icon"));
      std::replace(icon.begin(), icon.end(), '\\', '/');
      auto file = files.find(LowerCase(icon));
      if (file == files.end()) Refuse(Member(where, "icon"), "the icon is one of the product's files, not " + Quoted(icon));
      fields["icon_file"] = "@" + file->second;
    }
    if (shortcut.contains("icon_index"))
      fields["icon_index"] = Number(shortcut["icon_index"], Member(where, "icon_index"), 0xFFFF);
    objects->push_back(Object("shct", "shortcut_" + std::to_string(i + 1), std::move(fields)));
  }
}

// The pages asked for, in the wizard's order; refuses unknown and repeated names.
std::set<std::string> WantedPages(const json& product) {
  std::set<std::string> wanted;
  if (!product.contains("pages")) return wanted;
  const json& pages = product["pages"];
  if (!pages.is_array()) Refuse("product.pages", "the pages are an array of page names");
  for (size_t i = 0; i < pages.size(); ++i) {
    const std::string& name = Text(pages[i], Item("product.pages", i));
    bool known = false;
    for (const Page& page : kPages) known = known || name == page.name;
    if (!known) Refuse(Item("product.pages", i), "no standard page " + Quoted(name));
    if (!wanted.insert(name).second) Refuse(Item("product.pages", i), "the page " + Quoted(name) + " is named twice");
  }
  return wanted;
}

// The options page's Browse button: the folder browser from the product folder; a chosen folder of
// another name gets the product folder's own name below it ("D:\Apps" becomes "D:\Apps\Probe").
json BrowseEvents(const json& product, json* objects) {
  constexpr uint32_t kBrowseClicked = 1062u << 16 | 4;  // control 1062, event 4 (clicked)
  std::string folder = product.contains("folder") ? Text(product["folder"], "product.folder") : NeededText(product, "name");
  size_t separator = folder.find_last_of("\\/");
  std::string name = separator == std::string::npos ? folder : folder.substr(separator + 1);
  if (name.find('<') != std::string::npos) name.clear();
  objects->push_back(Action("a212", "browse_folder", "Browse", 570,
                            {{"mode", 0}, {"variable", "KesProductFolder"}, {"default_name", name}}));
  objects->push_back(Object("aseq", "options_browse_clicked",
                            {{"name", "Browse"}, {"event_key", kBrowseClicked}, {"actions", json::array({"@browse_folder"})}}));
  return json::array({"@options_browse_clicked"});
}

// The event sequence that hides the page's kHiddenControls when it opens (event 1): its reference,
// or nothing.
json HidingEvents(const Page& page, json* objects) {
  json hiding = json::array();
  for (const HiddenControl& hidden : kHiddenControls) {
    if (std::string(hidden.page) != page.name) continue;
    json action = {{"target", std::string("@") + hidden.control}, {"operation", 0}, {"value", 0}};
    if (hidden.condition) action["condition"] = hidden.condition;
    std::string name = std::string("hide_") + hidden.control;
    objects->push_back(Action("a203", name, "Hide " + std::string(hidden.control), 522, std::move(action)));
    hiding.push_back("@" + name);
  }
  if (hiding.empty()) return json::array();
  std::string opened = std::string("page_") + page.name + "_opened";
  objects->push_back(Object("aseq", opened, {{"name", opened}, {"event_key", 1}, {"actions", std::move(hiding)}}));
  return json::array({"@" + opened});
}

json PageObjects(const json& product, const Page& page, json* objects) {
  json controls = json::array();
  for (const PageControl& control : kPageControls) {
    if (std::string(control.page) != page.name || (control.needs && !product.contains(control.needs))) continue;
    objects->push_back(Object(control.tag, control.name, json::parse(control.fields)));
    controls.push_back(std::string("@") + control.name);
  }
  json fields = {{"template", page.template_id}};
  if (!controls.empty()) fields["controls"] = std::move(controls);
  json events = HidingEvents(page, objects);
  if (std::string(page.name) == "options")
    for (const json& browse : BrowseEvents(product, objects)) events.push_back(browse);
  if (!events.empty()) fields["events"] = std::move(events);
  objects->push_back(Object("dlg ", std::string("page_") + page.name, std::move(fields)));
  objects->push_back(Action("a201", std::string("show_") + page.name, std::string("Show ") + page.name, 518,
                            {{"dialog", std::string("@page_") + page.name}, {"options", page.modal ? 1 : 0}}));
  return std::string("@show_") + page.name;
}

// The install sequence: the pages before the installation, then a nested sequence that shows the
// progress page while it prepares, installs and completes, then the pages after it.
void AddSequences(const json& product, json* objects) {
  std::set<std::string> wanted = WantedPages(product);
  json before = json::array(), installing = json::array(), after = json::array();
  bool installed = false;
  for (const Page& page : kPages) {
    if (std::string(page.name) == "progress" || std::string(page.name) == "finish") installed = true;
    if (!wanted.count(page.name)) continue;
    json reference = PageObjects(product, page, objects);
    (std::string(page.name) == "progress" ? installing : installed ? after : before).push_back(reference);
  }
  objects->push_back(Action("a100", "prepare", "Prepare", 528));
  objects->push_back(Action("a142", "resolve_paths", "Resolve paths", 565));
  objects->push_back(Action("a135", "create_folders", "Create folders", 573));
  objects->push_back(Action("a115", "install_files", "Install files", 543));
  objects->push_back(Action("a119", "install_registry", "Install registry", 547));
  objects->push_back(Action("a117", "create_shortcuts", "Create shortcuts", 545));
  objects->push_back(Action("a101", "complete", "Complete", 529));
  for (const char* step : {"@prepare", "@resolve_paths", "@create_folders", "@install_files", "@install_registry",
                           "@create_shortcuts", "@complete"})
    installing.push_back(step);
  objects->push_back(Object("aseq", "installing", {{"name", "Installing"}, {"actions", installing}}));
  objects->push_back(Action("a001", "run_installing", "Install", 513, {{"sequence", "@installing"}}));
  json main = before;
  main.push_back("@run_installing");
  for (const json& page : after) main.push_back(page);
  objects->push_back(Object("aseq", "install", {{"name", "Install"}, {"actions", main}}));
}

json Installation(const json& product, const std::vector<std::string>& options) {
  json fields = {{"product", NeededText(product, "name")}, {"first_sequence", "@install"}, {"flags", "0x4"},
                 {"abort_mask", "0xFFFFFFFF"}};
  VersionWords(product.contains("version") ? Text(product["version"], "product.version") : "1.0", &fields);
  if (!options.empty()) {
    json references = json::array();
    for (const std::string& name : options) references.push_back("@option_" + name);
    fields["options"] = references;
  }
  return Object("inst", "installation", std::move(fields));
}

// The generated objects, then the project's own: one with a generated object's name takes its place.
json Merged(json generated, const json& own) {
  std::map<std::string, size_t> at;
  for (size_t i = 0; i < generated.size(); ++i) at[generated[i]["name"].get<std::string>()] = i;
  for (const json& object : own) {
    auto same = object.is_object() && object.contains("name") && object["name"].is_string()
                    ? at.find(object["name"].get<std::string>())
                    : at.end();
    if (same != at.end()) generated[same->second] = object;
    else generated.push_back(object);
  }
  return generated;
}

}  // namespace

json ShortFormExpand(const json& document, const std::u16string& base) {
  if (!document.is_object() || !document.contains("product")) return document;
  const json& product = document["product"];
  AllowOnly(product, "product",
            {"name", "version", "publisher", "web_site", "email", "copyright", "folder", "license", "readme", "options",
             "files", "registry", "shortcuts", "pages"});
  json objects = json::array();
  std::vector<std::string> options = AddOptions(product, &objects);
  objects.insert(objects.begin(), Installation(product, options));
  AddVariables(product, &objects);
  AddTexts(product, base, &objects);
  FileNames files = AddFiles(product, base, options, &objects);
  AddRegistry(product, options, &objects);
  AddShortcuts(product, files, options, &objects);
  AddSequences(product, &objects);

  json expanded = document;
  expanded.erase("product");
  json own = document.contains("objects") ? document["objects"] : json::array();
  if (!own.is_array()) Refuse("objects", "the project's objects are an array");
  expanded["objects"] = Merged(std::move(objects), own);
  return expanded;
}
