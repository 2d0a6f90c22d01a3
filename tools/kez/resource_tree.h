// The resources of a PE image as a flat list, read from and written as the three-level resource
// directory (type, name, language) of a resource section.
//
// A directory table is 16 bytes (characteristics, time stamp, version, the number of named entries
// and of numbered entries) followed by its 8-byte entries, named ones first, sorted. An entry's
// first word is a number, or with bit 31 set the offset of a counted UTF-16 name; its second word
// is with bit 31 set the offset of the next level's table, otherwise (on the language level) the
// offset of a 16-byte data entry: the data's address (an RVA), size and code page. Offsets count
// from the start of the resource directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kez/pe_file.h"

// A type, name or language: a number, or a text when `text` is not empty.
struct ResourceKey {
  std::u16string text;
  uint32_t id = 0;
};
bool operator<(const ResourceKey& a, const ResourceKey& b);  // texts first (by code unit), then numbers
bool operator==(const ResourceKey& a, const ResourceKey& b);

struct Resource {
  ResourceKey type;
  ResourceKey name;
  ResourceKey language;
  uint32_t code_page = 0;
  std::vector<uint8_t> data;
};

enum : uint32_t {
  kResourceIcon = 3,
  kResourceGroupIcon = 14,
  kResourceVersion = 16,
};

// Limits of what a resource directory may hold before it is refused as hostile: entries walked
// (a shared table counts each time it is reached) and bytes of data copied.
constexpr uint32_t kResourceMaximumEntries = 65536;
constexpr uint64_t kResourceMaximumData = 0x10000000;

// Reads every resource of the image, sorted in directory order; an image without a resource
// directory has none. Returns 0, or 193 (ERROR_BAD_EXE_FORMAT) with *why for a directory that
// leaves its section, has data entries or tables on the wrong level, lists a resource twice or
// exceeds the limits above.
uint32_t ResourcesRead(const PeFile& image, std::vector<Resource>* resources, std::string* why);

// Sorts `resources` into directory order and lays them out as a resource section whose first byte
// has the address `rva`: the tables level by level, the data entries, the names, then the data
// (each piece at an 8-byte boundary). The resources must be unique by type, name and language, at
// most 65535 named and 65535 numbered entries per table.
std::vector<uint8_t> ResourcesWrite(std::vector<Resource>* resources, uint32_t rva);

// Directory order: by type, then name, then language.
void ResourcesSort(std::vector<Resource>* resources);
