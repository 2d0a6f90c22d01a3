#include "tools/kez/project_reading.h"

#include "package/package_entry.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "tools/kez/database_json.h"

using nlohmann::json;

namespace {

bool IsAbsolute(const std::u16string& path) {
  return (!path.empty() && (path[0] == u'/' || path[0] == u'\\')) || (path.size() >= 2 && path[1] == u':');
}

std::u16string Resolve(const std::u16string& base, const std::string& path) {
  std::u16string relative = TextFromUtf8(path);
  if (IsAbsolute(relative) || base.empty()) return relative;
  std::u16string joined = base;
  if (joined.back() != u'/' && joined.back() != u'\\') joined += u'/';
  return joined + relative;
}

}  // namespace

[[noreturn]] void Refuse(const std::string& where, const std::string& why, uint32_t error) {
  throw ProjectFault{error, where + ": " + why};
}

std::string Member(const std::string& where, const std::string& key) { return where.empty() ? key : where + "." + key; }
std::string Item(const std::string& where, size_t index) { return where + "[" + std::to_string(index) + "]"; }

std::string Quoted(const std::string& text) { return json(text).dump(); }

void AllowOnly(const json& object, const std::string& where, std::initializer_list<const char*> keys) {
  if (!object.is_object()) Refuse(where, "expected an object, not " + object.dump());
  for (const auto& item : object.items()) {
    bool known = false;
    for (const char* key : keys) known = known || item.key() == key;
    if (!known) Refuse(Member(where, item.key()), "unknown member");
  }
}

const std::string& Text(const json& value, const std::string& where) {
  if (!value.is_string()) Refuse(where, "expected a text, not " + value.dump());
  return value.get_ref<const std::string&>();
}

uint64_t Number(const json& value, const std::string& where, uint64_t maximum) {
  uint64_t number;
  std::string why;
  if (!DatabaseNumberFromJson(value, maximum, &number, &why)) Refuse(where, why);
  return number;
}

bool Flag(const json& value, const std::string& where) {
  if (!value.is_boolean()) Refuse(where, "expected true or false, not " + value.dump());
  return value.get<bool>();
}

std::string Lower(std::string text) {
  for (char& c : text) c = char(AsciiLower(char16_t(uint8_t(c))));
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Names the builder gives to packages of its own: "_KesMain.kez" and the volumes "DiskNNNN.kez".
bool IsReservedPackageName(const std::string& name) {
  std::string lower = Lower(name);
  if (lower == "_kesmain.kez") return true;
  if (lower.size() != 12 || lower.compare(0, 4, "disk") != 0 || lower.compare(8, 4, ".kez") != 0) return false;
  for (int i = 4; i < 8; ++i)
    if (lower[i] < '0' || lower[i] > '9') return false;
  return true;
}

// A file name of the output folder: not empty, no folder, no character Windows refuses.
void CheckFileName(const std::string& name, const std::string& where) {
  if (name.empty() || name == "." || name == ".." || name.find_first_of("\\/:*?\"<>|") != std::string::npos)
    Refuse(where, Quoted(name) + " is not a plain file name");
  for (char c : name)
    if (uint8_t(c) < 0x20) Refuse(where, Quoted(name) + " is not a plain file name");
}

std::string FileNameOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// An input file that must exist and be a file; its entry header when `header` is given.
std::u16string InputFile(const json& value, const std::string& where, const std::u16string& base,
                         PackageEntryHeader* header) {
  const std::string& path = Text(value, where);
  if (path.empty()) Refuse(where, "no file named");
  std::u16string resolved = Resolve(base, path);
  PackageEntryHeader facts;
  uint32_t err = PackageEntryHeaderFromFile(resolved.c_str(), &facts);
  if (err) Refuse(where, "cannot read " + Quoted(TextToUtf8(resolved)) + " (error " + std::to_string(err) + ")", err);
  if (facts.attributes & kAttributeDirectory) Refuse(where, Quoted(TextToUtf8(resolved)) + " is a folder");
  if (header) *header = facts;
  return resolved;
}
