#include "tools/kez/project_starter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

namespace {

// A name Windows can take as a file name: printable, none of \ / : * ? " < > |, not ending in a dot
// or a blank.
bool UsableName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name.back() == '.' || name.back() == ' ') return false;
  for (unsigned char c : name)
    if (c < 32 || std::string("\\/:*?\"<>|").find(char(c)) != std::string::npos) return false;
  return true;
}

std::string NewGuid() {
  std::random_device random;
  uint32_t w[4] = {random(), random(), random(), random()};
  w[1] = (w[1] & 0xFFFF0FFFu) | 0x00004000u;  // version 4
  w[2] = (w[2] & 0x3FFFFFFFu) | 0x80000000u;  // variant 1
  char text[40];
  snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%04X%08X}", unsigned(w[0]), unsigned(w[1] >> 16),
           unsigned(w[1] & 0xFFFF), unsigned(w[2] >> 16), unsigned(w[2] & 0xFFFF), unsigned(w[3]));
  return text;
}

json Starter(const std::string& name) {
  return {
      {"output", {{"package", "Setup.exe"}, {"method", "lzma2"}, {"level", 6}}},
      {"header", {{"package_code", NewGuid()}}},
      {"product",
       {{"name", name},
        {"version", "1.0"},
        {"publisher", name},
        {"files", json::array({{{"source", "payload/**"}}})},
        {"shortcuts", json::array({{{"name", name + " read me"}, {"target", "readme.txt"}}})},
        {"registry", json::array({{{"key", "HKEY_CURRENT_USER\\Software\\" + name},
                                   {"values", {{"InstallPath", "<KesProductFolder>"}, {"Version", "1.0"}}}}})},
        {"pages", json::array({"welcome", "options", "progress", "finish"})}}},
  };
}

bool WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return bool(out.flush());
}

}  // namespace

uint32_t ProjectStarterWrite(const std::u16string& folder, const std::string& name, std::string* message) {
  if (!UsableName(name)) {
    *message = "\"" + name + "\" cannot be a product's folder name";
    return 1;
  }
  fs::path root(folder);
  std::error_code error;
  if (fs::exists(root, error) && !(fs::is_directory(root, error) && fs::is_empty(root, error))) {
    *message = root.u8string() + " exists and is not an empty folder";
    return 1;
  }
  fs::create_directories(root / "payload", error);
  if (error ||
      !WriteText(root / "project.json", Starter(name).dump(2) + "\n") ||
      !WriteText(root / "payload" / "readme.txt", name + " 1.0\r\n\r\nPut the product's files in this folder.\r\n")) {
    *message = "cannot write into " + root.u8string() + (error ? ": " + error.message() : "");
    return 1;
  }
  return 0;
}
