// A version resource (VS_VERSIONINFO) as a tree of blocks, read, changed and written again.
//
// Every block is its length, its value's length (in characters for a text, else in bytes), its
// type (1 text, 0 binary), a NUL-terminated UTF-16 key, padding to a 32-bit boundary, the value,
// and its child blocks, each at a 32-bit boundary. The root "VS_VERSION_INFO" holds the 52-byte
// fixed file information; its child "StringFileInfo" holds string tables keyed by language and
// code page ("040904B0") with the named texts, and "VarFileInfo" holds "Translation", the pairs of
// language and code page whose tables a reader looks at.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct VersionBlock {
  std::u16string key;
  uint16_t type = 0;           // 1: the value is a text
  std::vector<uint8_t> value;  // a text with its terminating NUL
  std::vector<VersionBlock> children;
};

// Reads a version resource. Returns 0, or 193 (ERROR_BAD_EXE_FORMAT) with *why when a block
// leaves its parent, a key has no end, or the root is not "VS_VERSION_INFO" with its fixed part.
uint32_t VersionBlockRead(const std::vector<uint8_t>& data, VersionBlock* root, std::string* why);

// Writes the tree. Returns 0, or 193 with *why when it does not fit the 65535 bytes of a block.
uint32_t VersionBlockWrite(const VersionBlock& root, std::vector<uint8_t>* data, std::string* why);

// A version resource for an image that has none: the fixed part of an application and an empty
// string table "040904B0" with its translation.
VersionBlock VersionBlockNew();

// Sets the text `name` in every string table. An image whose resource has no string table gets
// "040904B0", and one without "Translation" gets the first table's language and code page, so
// that readers find the texts.
void VersionBlockSetText(VersionBlock* root, const std::u16string& name, const std::u16string& value);

// Sets the file and product version of the fixed part (most significant 32 bits first).
void VersionBlockSetVersion(VersionBlock* root, uint64_t version);

// What a reader sees: the fixed part's versions and every text with its table's key.
struct VersionText {
  std::u16string table, name, value;
};
void VersionBlockVersions(const VersionBlock& root, uint64_t* file_version, uint64_t* product_version);
std::vector<VersionText> VersionBlockTexts(const VersionBlock& root);
