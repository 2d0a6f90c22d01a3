// A runtime made a product's own: its version resource and main icon rewritten for the product
// before the package is appended.
//
// The version resource (every one, in every language) gets "ProductName", "PackageCode" (the
// name under which the runtime claims its single instance), "ProductVersion" and "FileVersion"
// (both the product's version) in every string table, the product's version in the fixed part,
// and "CompanyName" and "FileDescription" when they are given; a runtime without a version
// resource gets one (name 1, neutral language). With an icon, the main icon group is replaced by
// the icon's images. Every other resource stays as it was.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kez/icon_file.h"
#include "tools/kez/pe_resource_section.h"

struct RuntimeStamp {
  std::u16string product_name;         // empty: the runtime's stays
  std::u16string package_code;         // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  uint64_t version = 0;                // major, minor, build, revision: 16 bits each, major first
  std::u16string company_name;         // empty: the runtime's stays
  std::u16string file_description;     // empty: the runtime's stays
  const std::vector<IconImage>* icon = nullptr;  // null: the runtime's icon stays
};

struct RuntimeStampReport {
  bool debug_sections;     // the runtime carries debug information
  bool signature_removed;  // its certificate table was removed
  ResourcePlacement placement;
};

// Writes the stamped runtime into *out. Returns 0, or 193 (ERROR_BAD_EXE_FORMAT) with *why for a
// runtime that is no PE image this rewriter can change (see PeFileParse, ResourcesRead,
// PeReplaceResources), that carries a package already, or whose version resource is damaged.
uint32_t RuntimeStampImage(std::vector<uint8_t> runtime, const RuntimeStamp& stamp, std::vector<uint8_t>* out,
                           RuntimeStampReport* report, std::string* why);

// "1.2.3.4" for the version 0x0001000200030004.
std::u16string RuntimeVersionText(uint64_t version);
