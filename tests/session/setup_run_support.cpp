#include "tests/session/setup_run_support.h"

#include <gtest/gtest.h>

#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tools/kez/project_build.h"

using namespace test_support;

namespace setup_run {

std::string Utf8(const std::u16string& text) { return TextToUtf8(text); }

std::string Json(const std::u16string& text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

Workspace::Workspace() : root_(CreateUniqueTempFolder(u"setup_e2e_")) {
  for (const char16_t* sub : {u"\\out", u"\\temp"}) CreateDirectoryW(W(root_ + sub), nullptr);
}

Workspace::~Workspace() { FolderDeleteTree(root_.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders); }

std::string Project(const Workspace& w, const std::string& inst, const std::string& objects,
                    const std::string& product_folder) {
  std::string variables;
  const std::pair<int, const char*> kVariables[] = {
      {502, "ExitCode"}, {503, "Installed"},     {505, "UiLevel"},  {506, "RestartMode"},
      {507, "RestartNeeded"}, {508, "InstallMode"}, {509, "InstallState"}, {530, "MessageTimeout"},
      {501, "MainText"}, {500, "DetailText"},   {504, "Position"}, {413, "SessionTemp"}};
  for (const auto& v : kVariables)
    variables += R"({"tag": "symb", "name": "v)" + std::to_string(v.first) + R"(", "fields": {"variable_id": )" +
                 std::to_string(v.first) + R"(, "name": ")" + v.second + R"(", "value": "0"}},)" "\n";
  return R"({
  "output": {"package": "Setup.exe", "method": "zlib", "level": 1},
  "objects": [
    {"tag": "inst", "name": "installation", "fields": {"product": "Probe", "abort_mask": "0xFFFFFFFF",
      "flags": "0x4")" + inst + R"(}},
    {"tag": "symb", "name": "product_folder", "fields": {"variable_id": 409, "name": "KesProductFolder",
      "value": )" + (product_folder.empty() ? Json(w.Path(u"Product")) : product_folder) + R"(}},
    {"tag": "symb", "name": "greeting", "fields": {"variable_id": 1000, "name": "Greeting", "value": "none"}},
    )" + variables + R"(
    {"tag": "a100", "name": "prepare", "fields": {"name": "Prepare", "progress_text_id": 528}},
    {"tag": "a101", "name": "complete", "fields": {"name": "Complete", "progress_text_id": 529}},
    {"tag": "a213", "name": "greet", "fields": {"name": "Greet", "variable": "Greeting", "value": "hello from <KesProductFolder>"}},
    )" + objects + R"(
  ]
})";
}

std::u16string Build(const Workspace& w, const std::string& project) {
  ProjectBuildOptions options;
  options.output = w.Path(u"out");
  options.runtime = SetupPath();
  options.quiet = true;
  std::string message;
  uint32_t err = ProjectBuild(project, w.Path(u""), options, &message);
  EXPECT_EQ(err, 0u) << message;
  return w.Path(u"out\\Setup.exe");
}

SetupRun Start(const Workspace& w, const std::u16string& program, const std::u16string& arguments) {
  SetupRun run;
  Finished finished = RunProgram(u"\"" + program + u"\" " + arguments, w.Path(u"temp"));
  EXPECT_FALSE(finished.timed_out);
  run.exit_code = finished.exit_code;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(W(w.Path(u"temp\\*.log")), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do run.logs.push_back(reinterpret_cast<const char16_t*>(data.cFileName));
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  EXPECT_EQ(run.logs.size(), 1u);
  if (!run.logs.empty()) {
    std::string bytes = ReadBytes(w.Path(u"temp\\") + run.logs[0]);
    run.log = bytes.size() >= 3 ? bytes.substr(3) : bytes;
  }
  return run;
}

std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = char(seed >> 16);
  }
  return bytes;
}

}  // namespace setup_run
