// The example product (examples/tally), a project in the short form, built with the Setup.exe of
// this tree and installed quietly: every payload file lands where its pattern puts it, byte for byte,
// and its registry values are written with their types.
#include <gtest/gtest.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tests/session/setup_run_support.h"
#include "tools/kez/project_build.h"

using namespace setup_run;
using namespace test_support;
using nlohmann::json;

namespace {

const std::u16string kExample = std::u16string(SETUP_EXAMPLES_FOLDER) + u"/tally";

// The example with the product folder in the workspace and the registry key under a key of the
// test's own: the project's objects replace the generated ones of the same name.
std::string ExampleProject(const Workspace& w, const std::string& key) {
  json project = json::parse(ReadBytes(kExample + u"/project.json"));
  project["output"] = {{"package", "Setup.exe"}, {"method", "zlib"}, {"level", 1}};
  project["objects"] = {
      {{"tag", "symb"}, {"name", "product_folder"},
       {"fields", {{"variable_id", 409}, {"name", "KesProductFolder"}, {"value", Utf8(w.Path(u"Product"))}}}},
      {{"tag", "symb"}, {"name", "registry_key_variable_1"},
       {"fields", {{"variable_id", 2501}, {"name", "RegistryKey1"}, {"value", "HKEY_CURRENT_USER\\" + key}}}}};
  return project.dump();
}

}  // namespace

TEST(SetupShortForm, ExampleInstallsItsFilesAndRegistryValues) {
  Workspace w;
  const std::string key = "Software\\SetupTests\\Tally" + std::to_string(GetCurrentProcessId());
  ProjectBuildOptions options;
  options.output = w.Path(u"out");
  options.runtime = SetupPath();
  options.quiet = true;
  std::string message;
  ASSERT_EQ(ProjectBuild(ExampleProject(w, key), kExample, options, &message), 0u) << message;
  SetupRun run = Start(w, w.Path(u"out\\Setup.exe"), u"/q2");
  ASSERT_EQ(run.exit_code, 0u) << run.log;

  const struct {
    const char16_t* payload;
    const char16_t* installed;
  } kLayout[] = {
      {u"bin/tally.cmd", u"tally.cmd"},
      {u"bin/tally.ini", u"tally.ini"},
      {u"docs/readme.txt", u"docs\\readme.txt"},
      {u"docs/guide/start.txt", u"docs\\guide\\start.txt"},
      {u"docs/guide/options.txt", u"docs\\guide\\options.txt"},
      {u"samples/sales.csv", u"samples\\sales.csv"},
      {u"samples/names.csv", u"samples\\names.csv"},
  };
  for (const auto& file : kLayout) {
    std::string expected = ReadBytes(kExample + u"/payload/" + file.payload);
    EXPECT_FALSE(expected.empty()) << Utf8(file.payload);
    EXPECT_EQ(ReadBytes(w.Path(u"Product\\") + file.installed), expected) << Utf8(file.installed);
  }

  std::u16string subkey = TextFromUtf8(key);
  const struct {
    const char16_t* name;
    std::string shown;  // type and data
  } kValues[] = {
      {u"InstallPath", "1:" + Utf8(w.Path(u"Product"))},
      {u"Version", "1:2.1.0.7"},
      {u"Launches", "4:0"},
      {u"Separators", "7:2C0000003B0000003A0000000000"},  // ",", ";", ":" as UTF-16 texts
  };
  for (const auto& value : kValues)
    EXPECT_EQ(RegistryValueText(HKEY_CURRENT_USER, subkey, value.name), value.shown) << Utf8(value.name);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\SetupTests");
}
