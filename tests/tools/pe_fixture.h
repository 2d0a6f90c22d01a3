// Small PE images, icons and version resources for the tests of the runtime stamping. Images are
// laid out as a linker lays them out (section alignment 0x1000, file alignment 0x200, sections one
// after the other): sections filled with a pattern, the resource directory written with the
// resource writer, base relocations, COFF symbols naming long section names, appended bytes and a
// certificate table.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/package/fake_executable.h"
#include "tools/kez/resource_tree.h"

enum class FixtureRole { kData, kResources, kRelocations };

struct FixtureSection {
  std::string name;  // longer than 8 characters: kept in the COFF string table (needs `symbols`)
  uint32_t characteristics;
  uint32_t size;     // data bytes; the resource and relocation sections take what they need
  FixtureRole role = FixtureRole::kData;
};

constexpr uint32_t kFixtureCode = 0x60000020;
constexpr uint32_t kFixtureData = 0xC0000040;
constexpr uint32_t kFixtureReadOnly = 0x40000040;
constexpr uint32_t kFixtureDiscardable = 0x42000040;

struct FixtureImage {
  bool pe64 = false;
  std::vector<FixtureSection> sections;
  std::vector<Resource> resources;  // written into the kResources section
  uint32_t resource_start = 0;      // where the directory starts inside that section
  size_t relocated_section = 0;     // whose first page the base relocations patch
  size_t entry_section = 0;         // where the entry point lies
  bool symbols = false;             // an empty COFF symbol table and its string table behind the sections
  Bytes appended;                   // bytes behind the sections (and the symbols)
  uint32_t certificate_size = 0;    // a certificate table at the end of the file
  uint32_t headers_size = 0x400;
};

Bytes FixtureBuild(const FixtureImage& image);

// The usual runtime: .text, .data, .rsrc with `resources`, .reloc.
FixtureImage FixtureRuntime(const std::vector<Resource>& resources);

// The pattern a data section of the fixture is filled with.
Bytes FixturePattern(const std::string& name, uint32_t size);

// An .ico file of 32-bit bitmaps, one per size, each filled with its colour (0xAARRGGBB).
struct FixtureIconImage {
  uint32_t side;
  uint32_t color;
};
Bytes FixtureIcon(const std::vector<FixtureIconImage>& images);
// The same with a PNG image of `png_side` pixels appended (only its signature and header are real).
Bytes FixtureIconWithPng(const std::vector<FixtureIconImage>& images, uint32_t png_side);

// A version resource with these texts in the string table "040904B0" and this version.
Resource FixtureVersion(uint32_t language, const std::vector<std::pair<std::u16string, std::u16string>>& texts,
                        uint64_t version);
// An icon group and its icons under `name` (icon numbers from `first_icon`), in `language`.
std::vector<Resource> FixtureIconGroup(uint32_t name, uint32_t language, uint32_t first_icon,
                                       const std::vector<FixtureIconImage>& images);
