// Files of the short form's "files" patterns, found under the project's folder.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "runtime/text.h"
#include "tools/kez/project_reading.h"
#include "tools/kez/short_form.h"

namespace fs = std::filesystem;

namespace {

// "*" matches any run of characters, "?" any one; letters match without regard to case, as file
// names do on Windows.
bool NameMatches(const char* pattern, const char* name) {
  for (; *pattern; ++pattern, ++name) {
    if (*pattern == '*') {
      for (const char* rest = name;; ++rest) {
        if (NameMatches(pattern + 1, rest)) return true;
        if (!*rest) return false;
      }
    }
    if (!*name) return false;
    if (*pattern != '?' && tolower(static_cast<unsigned char>(*pattern)) != tolower(static_cast<unsigned char>(*name)))
      return false;
  }
  return !*name;
}

std::string Utf8Of(const fs::path& path) {
  std::u16string text = path.u16string();
  std::replace(text.begin(), text.end(), u'\\', u'/');
  return TextToUtf8(text);
}

fs::path PathOf(const std::u16string& base, const std::string& relative) {
  fs::path path(TextFromUtf8(relative));
  return base.empty() || path.is_absolute() ? path : fs::path(base) / path;
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool WellFormedUtf8(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    auto b = static_cast<unsigned char>(bytes[i]);
    size_t extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : 4;
    if (extra == 4 || bytes.size() - i <= extra) return false;
    uint32_t code = extra ? b & (0x3F >> extra) : b;
    for (size_t k = 1; k <= extra; ++k) {
      auto c = static_cast<unsigned char>(bytes[i + k]);
      if ((c >> 6) != 0x2) return false;
      code = code << 6 | (c & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::string ShortFormReadText(const std::string& relative, const std::u16string& base, const std::string& where) {
  fs::path path = PathOf(base, relative);
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  if (!in) Refuse(where, "cannot read " + Quoted(Utf8Of(path)));
  std::string text = content.str();
  if (text.size() > kShortFormTextLimit)
    Refuse(where, Quoted(relative) + " has more than " + std::to_string(kShortFormTextLimit) + " bytes");
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  if (!WellFormedUtf8(text)) Refuse(where, Quoted(relative) + " is not UTF-8 text");
  return text;
}

std::vector<ShortFormMatch> ShortFormFiles(const std::string& pattern, const std::u16string& base,
                                           const std::string& where) {
  size_t slash = pattern.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash);
  std::string last = pattern.substr(slash == std::string::npos ? 0 : slash + 1);
  if (last.empty() || last == "." || last == "..") Refuse(where, "a pattern ends in a file name, \"*\" or \"**\"");
  fs::path root = PathOf(base, folder.empty() ? "." : folder);
  std::error_code error;
  if (!fs::is_directory(root, error)) Refuse(where, "no folder " + Quoted(Utf8Of(root)));

  std::vector<ShortFormMatch> found;
  auto take = [&](const fs::directory_entry& entry) {
    if (!entry.is_regular_file(error)) return;
    std::string name = Utf8Of(entry.path().filename());
    if (last != "**" && !NameMatches(last.c_str(), name.c_str())) return;
    std::string below = Utf8Of(entry.path().parent_path().lexically_relative(root));
    if (below == ".") below.clear();
    std::string prefix = folder.empty() ? "" : folder + "/";
    found.push_back({prefix + (below.empty() ? "" : below + "/") + name, below, name, entry.file_size(error)});
  };
  if (last == "**") {
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) take(*it);
  } else {
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) take(*it);
  }
  if (error) Refuse(where, "cannot list " + Quoted(Utf8Of(root)) + ": " + error.message());
  if (found.empty()) Refuse(where, "no file matches " + Quoted(pattern));
  std::sort(found.begin(), found.end(),
            [](const ShortFormMatch& a, const ShortFormMatch& b) { return a.source < b.source; });
  return found;
}
