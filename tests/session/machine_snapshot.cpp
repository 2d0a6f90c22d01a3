#include "tests/session/machine_snapshot.h"

#include <cstdio>

#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"

namespace setup_run {

using test_support::ReadBytes;
using test_support::W;

namespace {

uint64_t Fnv(const std::string& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string Hex(const BYTE* data, DWORD size) {
  std::string text;
  char pair[3];
  for (DWORD i = 0; i < size && i < 64; ++i) {
    snprintf(pair, sizeof pair, "%02X", data[i]);
    text += pair;
  }
  if (size > 64) text += "…#" + std::to_string(Fnv(std::string(reinterpret_cast<const char*>(data), size)));
  return text;
}

}  // namespace

void AddFiles(const std::u16string& folder, const std::string& label, Snapshot* s) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(folder + u"\\*"), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::u16string name = reinterpret_cast<const char16_t*>(found.cFileName);
    if (name == u"." || name == u"..") continue;
    std::u16string path = folder + u"\\" + name;
    std::string key = "file " + label + "\\" + TextToUtf8(name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*s)[key + "\\"] = "folder";
      AddFiles(path, label + "\\" + TextToUtf8(name), s);
      continue;
    }
    if (name.size() > 4 && name.compare(name.size() - 4, 4, u".log") == 0) continue;
    uint64_t written = uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32 | found.ftLastWriteTime.dwLowDateTime;
    (*s)[key] = "size " + std::to_string(found.nFileSizeLow) + ", written " + std::to_string(written) +
                ", attributes " + std::to_string(found.dwFileAttributes) + ", content #" +
                std::to_string(Fnv(ReadBytes(path)));
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

namespace {

void AddValues(HKEY key, const std::string& label, Snapshot* s) {
  static std::vector<wchar_t> name(16384);
  static std::vector<BYTE> data(1 << 20);
  for (DWORD i = 0;; ++i) {
    DWORD name_length = DWORD(name.size()), size = DWORD(data.size()), type = 0;
    if (RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
    std::u16string value(reinterpret_cast<const char16_t*>(name.data()), name_length);
    (*s)["value " + label + " : " + TextToUtf8(value)] = std::to_string(type) + ":" + Hex(data.data(), size);
  }
}

void AddKeysBelow(HKEY root, const std::u16string& path, REGSAM view, const std::string& label, Snapshot* s, int depth) {
  HKEY key;
  if (depth > 32 || RegOpenKeyExW(root, W(path), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  (*s)["key " + label] = "";
  AddValues(key, label, s);
  std::vector<std::u16string> subkeys;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(reinterpret_cast<const char16_t*>(name), length);
  }
  RegCloseKey(key);
  for (const std::u16string& sub : subkeys)
    AddKeysBelow(root, path + u"\\" + sub, view, label + "\\" + TextToUtf8(sub), s, depth + 1);
}

}  // namespace

void AddKeys(HKEY root, const std::u16string& path, REGSAM view, const std::string& label, Snapshot* s) {
  AddKeysBelow(root, path, view, label, s, 0);
}

std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> found;
  for (const auto& [key, value] : before) {
    auto other = after.find(key);
    if (other == after.end()) found.push_back(key + ": gone (was " + value + ")");
    else if (other->second != value) found.push_back(key + ": " + value + " -> " + other->second);
  }
  for (const auto& [key, value] : after)
    if (!before.count(key)) found.push_back(key + ": new (" + value + ")");
  return found;
}

void DeleteTree(const std::u16string& path) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(path + u"\\*"), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::u16string name = reinterpret_cast<const char16_t*>(found.cFileName);
      if (name == u"." || name == u"..") continue;
      std::u16string inner = path + u"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(inner);
      } else {
        SetFileAttributesW(W(inner), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(inner));
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(W(path));
}

}  // namespace setup_run
