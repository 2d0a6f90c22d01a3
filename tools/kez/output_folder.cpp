#include "tools/kez/output_folder.h"

#include "runtime/errors.h"
#include "runtime/text.h"

namespace fs = std::filesystem;

namespace {

void SystemRename(const fs::path& from, const fs::path& to, std::error_code& code) { fs::rename(from, to, code); }

OutputFolderCalls g_calls = {SystemRename};

fs::path Beside(const fs::path& output, const char16_t* suffix) {
  fs::path parent = output.parent_path();
  return (parent.empty() ? fs::path(".") : parent) / (output.filename().u16string() + suffix);
}

std::u16string Component(const fs::path& part) {
  std::u16string text = part.u16string();
#ifdef _WIN32
  for (char16_t& c : text) c = AsciiLower(c);
#endif
  return text;
}

uint32_t Failed(const std::string& what, const std::error_code& code, std::string* message) {
  *message = what + ": " + code.message();
  return OutputFolderError(code);
}

}  // namespace

OutputFolderCalls* OutputFolderSystem() { return &g_calls; }

uint32_t OutputFolderError(const std::error_code& code) {
  if (code == std::errc::permission_denied) return ERROR_ACCESS_DENIED;
  if (code == std::errc::no_such_file_or_directory) return ERROR_PATH_NOT_FOUND;
  if (code == std::errc::file_exists || code == std::errc::is_a_directory) return ERROR_ALREADY_EXISTS;
  return ERROR_WRITE_FAULT;
}

bool OutputFolderHolds(const fs::path& folder, const fs::path& path) {
  std::error_code code;
  fs::path outer = fs::weakly_canonical(fs::absolute(folder, code), code);
  fs::path inner = fs::weakly_canonical(fs::absolute(path, code), code);
  auto a = outer.begin(), b = inner.begin();
  for (; a != outer.end(); ++a, ++b) {
    if (a->empty()) continue;  // the empty last part of a path that ends in a separator
    if (b == inner.end() || Component(*a) != Component(*b)) return false;
  }
  return true;
}

uint32_t OutputFolderStage(const fs::path& output, fs::path* staging, std::string* message) {
  *staging = Beside(output, u".kez-build");
  std::error_code code;
  fs::remove_all(*staging, code);
  if (!code) fs::create_directories(*staging, code);
  if (code) return Failed("cannot make the staging folder " + staging->u8string(), code, message);
  return ERROR_SUCCESS;
}

uint32_t OutputFolderReplace(const fs::path& staging, const fs::path& output, std::string* message) {
  fs::path old = Beside(output, u".kez-old");
  std::error_code code;
  bool existed = fs::symlink_status(output, code).type() != fs::file_type::not_found;
  if (existed) {
    fs::remove_all(old, code);
    if (!code) g_calls.rename(output, old, code);
    if (code) return Failed("cannot move the earlier output " + output.u8string() + " aside", code, message);
  }
  g_calls.rename(staging, output, code);
  if (code) {
    uint32_t err = Failed("cannot move the new output into " + output.u8string(), code, message);
    if (existed) g_calls.rename(old, output, code);
    return err;
  }
  if (existed) fs::remove_all(old, code);
  return ERROR_SUCCESS;
}
