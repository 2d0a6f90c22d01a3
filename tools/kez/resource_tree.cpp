#include "tools/kez/resource_tree.h"

#include <algorithm>
#include <tuple>

#include "package/package_format.h"
#include "runtime/errors.h"

namespace {

constexpr uint32_t kTableSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000;
constexpr uint32_t kLevels = 3;

// ---- reading ----

struct Reader {
  const PeFile* image;
  const uint8_t* directory;  // the resource directory's first byte
  uint32_t size;             // bytes from there to the end of its section's raw data
  uint32_t entries;          // walked so far
  uint64_t data_bytes;       // copied so far
  std::vector<Resource>* out;
  std::string* why;
};

uint32_t Damaged(Reader* r, const std::string& text) {
  *r->why = "the resource directory " + text;
  return ERROR_BAD_EXE_FORMAT;
}

bool Fits(const Reader& r, uint32_t offset, uint64_t length) { return offset <= r.size && length <= r.size - offset; }

uint32_t ReadKey(Reader* r, uint32_t word, ResourceKey* key) {
  *key = ResourceKey{};
  if (!(word & kHighBit)) {
    key->id = word;
    return ERROR_SUCCESS;
  }
  uint32_t offset = word & ~kHighBit;
  if (!Fits(*r, offset, 2)) return Damaged(r, "names a text outside its section");
  uint32_t length = LoadLe16(r->directory + offset);
  if (!Fits(*r, offset + 2, 2ull * length)) return Damaged(r, "names a text outside its section");
  if (!length) return Damaged(r, "names an empty text");
  for (uint32_t k = 0; k < length; ++k) key->text += char16_t(LoadLe16(r->directory + offset + 2 + 2 * k));
  return ERROR_SUCCESS;
}

uint32_t ReadData(Reader* r, uint32_t offset, const ResourceKey keys[kLevels]) {
  if (!Fits(*r, offset, kDataEntrySize)) return Damaged(r, "has a data entry outside its section");
  const uint8_t* entry = r->directory + offset;
  uint32_t rva = LoadLe32(entry), size = LoadLe32(entry + 4);
  r->data_bytes += size;
  if (r->data_bytes > kResourceMaximumData) return Damaged(r, "holds more than 256 MiB of data");
  const uint8_t* data = size ? PeBytesAt(*r->image, rva, size) : r->directory;
  if (!data) return Damaged(r, "has data outside the image's sections");
  Resource resource;
  resource.type = keys[0];
  resource.name = keys[1];
  resource.language = keys[2];
  resource.code_page = LoadLe32(entry + 8);
  resource.data.assign(data, data + size);
  r->out->push_back(std::move(resource));
  return ERROR_SUCCESS;
}

uint32_t ReadTable(Reader* r, uint32_t offset, uint32_t level, ResourceKey keys[kLevels]) {
  if (!Fits(*r, offset, kTableSize)) return Damaged(r, "has a table outside its section");
  uint32_t count = uint32_t(LoadLe16(r->directory + offset + 12)) + LoadLe16(r->directory + offset + 14);
  if (!Fits(*r, offset + kTableSize, uint64_t(count) * kEntrySize)) return Damaged(r, "has a table outside its section");
  for (uint32_t k = 0; k < count; ++k) {
    if (++r->entries > kResourceMaximumEntries) return Damaged(r, "has more than 65536 entries");
    const uint8_t* entry = r->directory + offset + kTableSize + k * kEntrySize;
    uint32_t err = ReadKey(r, LoadLe32(entry), &keys[level]);
    if (err) return err;
    uint32_t target = LoadLe32(entry + 4);
    bool table = target & kHighBit;
    if (table != (level + 1 < kLevels)) return Damaged(r, table ? "is deeper than three levels" : "has data above the language level");
    err = table ? ReadTable(r, target & ~kHighBit, level + 1, keys) : ReadData(r, target, keys);
    if (err) return err;
  }
  return ERROR_SUCCESS;
}

bool SameKeys(const Resource& a, const Resource& b) {
  return a.type == b.type && a.name == b.name && a.language == b.language;
}

std::string KeyText(const ResourceKey& key) {
  if (key.text.empty()) return std::to_string(key.id);
  std::string text;
  for (char16_t c : key.text) text += c < 0x80 ? char(c) : '?';
  return "\"" + text + "\"";
}

// ---- writing ----

uint32_t Align8(uint32_t value) { return (value + 7) & ~7u; }

uint32_t KeyWord(const ResourceKey& key, std::vector<std::pair<uint32_t, const std::u16string*>>* texts,
                 uint32_t* text_offset) {
  if (key.text.empty()) return key.id & ~kHighBit;
  uint32_t offset = *text_offset;
  texts->push_back({offset, &key.text});
  *text_offset += 2 + 2 * uint32_t(key.text.size());
  return kHighBit | offset;
}

// Runs of equal keys at one level: [begin, end) of the sorted resources.
struct Group {
  size_t begin, end;
};

std::vector<Group> Split(const std::vector<Resource>& all, Group range, uint32_t level) {
  auto key = [&](size_t k) -> const ResourceKey& {
    return level == 0 ? all[k].type : level == 1 ? all[k].name : all[k].language;
  };
  std::vector<Group> groups;
  for (size_t k = range.begin; k < range.end; ++k) {
    if (groups.empty() || !(key(k) == key(groups.back().begin))) groups.push_back({k, k});
    groups.back().end = k + 1;
  }
  return groups;
}

uint32_t TableSize(size_t entries) { return kTableSize + uint32_t(entries) * kEntrySize; }

void WriteTableHeader(uint8_t* at, const std::vector<Group>& groups, const std::vector<Resource>& all, uint32_t level) {
  uint16_t named = 0;
  for (const Group& g : groups) {
    const ResourceKey& key = level == 0 ? all[g.begin].type : level == 1 ? all[g.begin].name : all[g.begin].language;
    named += key.text.empty() ? 0 : 1;
  }
  StoreLe16(at + 12, named);
  StoreLe16(at + 14, uint16_t(groups.size() - named));
}

}  // namespace

bool operator<(const ResourceKey& a, const ResourceKey& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  return a.text.empty() ? a.id < b.id : a.text < b.text;
}

bool operator==(const ResourceKey& a, const ResourceKey& b) { return a.text == b.text && a.id == b.id; }

void ResourcesSort(std::vector<Resource>* resources) {
  std::stable_sort(resources->begin(), resources->end(), [](const Resource& a, const Resource& b) {
    return std::tie(a.type, a.name, a.language) < std::tie(b.type, b.name, b.language);
  });
}

uint32_t ResourcesRead(const PeFile& image, std::vector<Resource>* resources, std::string* why) {
  resources->clear();
  uint32_t rva, size;
  PeDirectory(image, kPeDirectoryResource, &rva, &size);
  if (!rva) return ERROR_SUCCESS;
  Reader r = {&image, nullptr, 0, 0, 0, resources, why};
  for (const PeSection& s : image.sections) {
    uint64_t span = std::min<uint64_t>(s.raw_size, PeSectionEnd(s) - s.rva);
    if (rva >= s.rva && rva - s.rva < span) {
      r.directory = image.bytes.data() + s.raw_offset + (rva - s.rva);
      r.size = uint32_t(span - (rva - s.rva));
    }
  }
  if (!r.directory) return Damaged(&r, "lies outside the image's sections");
  ResourceKey keys[kLevels];
  uint32_t err = ReadTable(&r, 0, 0, keys);
  if (err) return err;
  ResourcesSort(resources);
  for (size_t k = 1; k < resources->size(); ++k) {
    const Resource& a = (*resources)[k];
    if (SameKeys((*resources)[k - 1], a))
      return Damaged(&r, "lists resource " + KeyText(a.type) + "/" + KeyText(a.name) + "/" + KeyText(a.language) + " twice");
  }
  return ERROR_SUCCESS;
}

std::vector<uint8_t> ResourcesWrite(std::vector<Resource>* resources, uint32_t rva) {
  ResourcesSort(resources);
  const std::vector<Resource>& all = *resources;
  // The tables, level by level: the root, the name tables of every type, the language tables of
  // every name.
  std::vector<Group> types = Split(all, {0, all.size()}, 0);
  std::vector<std::vector<Group>> names, languages;
  uint32_t tables = TableSize(types.size());
  for (const Group& t : types) {
    names.push_back(Split(all, t, 1));
    tables += TableSize(names.back().size());
  }
  for (const std::vector<Group>& of_type : names) {
    for (const Group& n : of_type) {
      languages.push_back(Split(all, n, 2));
      tables += TableSize(languages.back().size());
    }
  }
  uint32_t data_entries = tables;
  uint32_t text_offset = data_entries + uint32_t(all.size()) * kDataEntrySize;
  std::vector<std::pair<uint32_t, const std::u16string*>> texts;
  std::vector<uint8_t> out(text_offset);

  // Root and name tables point one level down; language tables point at the data entries.
  uint32_t next_table = TableSize(types.size());
  WriteTableHeader(out.data(), types, all, 0);
  for (size_t t = 0; t < types.size(); ++t) {
    uint8_t* entry = out.data() + kTableSize + t * kEntrySize;
    StoreLe32(entry, KeyWord(all[types[t].begin].type, &texts, &text_offset));
    StoreLe32(entry + 4, kHighBit | next_table);
    next_table += TableSize(names[t].size());
  }
  uint32_t table = TableSize(types.size());
  size_t language_table = 0;
  for (size_t t = 0; t < types.size(); ++t) {
    WriteTableHeader(out.data() + table, names[t], all, 1);
    for (size_t n = 0; n < names[t].size(); ++n) {
      uint8_t* entry = out.data() + table + kTableSize + n * kEntrySize;
      StoreLe32(entry, KeyWord(all[names[t][n].begin].name, &texts, &text_offset));
      StoreLe32(entry + 4, kHighBit | next_table);
      next_table += TableSize(languages[language_table++].size());
    }
    table += TableSize(names[t].size());
  }
  for (const std::vector<Group>& of_name : languages) {
    WriteTableHeader(out.data() + table, of_name, all, 2);
    for (size_t l = 0; l < of_name.size(); ++l) {
      uint8_t* entry = out.data() + table + kTableSize + l * kEntrySize;
      StoreLe32(entry, KeyWord(all[of_name[l].begin].language, &texts, &text_offset));
      StoreLe32(entry + 4, data_entries + uint32_t(of_name[l].begin) * kDataEntrySize);
    }
    table += TableSize(of_name.size());
  }

  out.resize(Align8(text_offset));
  for (const auto& text : texts) {
    StoreLe16(out.data() + text.first, uint16_t(text.second->size()));
    for (size_t k = 0; k < text.second->size(); ++k) StoreLe16(out.data() + text.first + 2 + 2 * k, (*text.second)[k]);
  }
  for (size_t k = 0; k < all.size(); ++k) {
    uint32_t at = uint32_t(out.size());
    uint8_t* entry = out.data() + data_entries + k * kDataEntrySize;
    StoreLe32(entry, rva + at);
    StoreLe32(entry + 4, uint32_t(all[k].data.size()));
    StoreLe32(entry + 8, all[k].code_page);
    out.insert(out.end(), all[k].data.begin(), all[k].data.end());
    out.resize(Align8(uint32_t(out.size())));
  }
  return out;
}
