// Values of a file's version resource: the texts of its first translation and the fixed part.
// The system's version functions (version.dll) are loaded when first needed.
#pragma once
#include <cstdint>

// The 52-byte fixed file information (VS_FIXEDFILEINFO).
struct VersionFixedPart {
  uint32_t signature;
  uint32_t struct_version;
  uint32_t file_version_high;
  uint32_t file_version_low;
  uint32_t product_version_high;
  uint32_t product_version_low;
  uint32_t flags_mask;
  uint32_t flags;
  uint32_t os;
  uint32_t type;
  uint32_t subtype;
  uint32_t date_high;
  uint32_t date_low;
};
static_assert(sizeof(VersionFixedPart) == 52, "fixed part is 52 bytes");

struct VersionResource {
  void* block;  // the version information, owned
  uint16_t language;
  uint16_t code_page;
};

// Reads the file's version information. Returns 0; 13 when it has no translation table
// ("\VarFileInfo\Translation") of at least 4 bytes; the system's error when it has no version
// information or the version functions are missing; 8 when memory runs out.
uint32_t VersionResourceOpen(const char16_t* path, VersionResource* resource);
void VersionResourceClose(VersionResource* resource);

// The value "\StringFileInfo\%04x%04x\<name>" of the first translation; an empty or missing value
// writes no text.
char16_t* VersionResourceValue(const VersionResource* resource, const char16_t* name, char16_t* start,
                               char16_t* end);
// The fixed part; false when the resource has none.
bool VersionResourceFixed(const VersionResource* resource, VersionFixedPart* fixed);
