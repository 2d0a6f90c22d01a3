// The version resource of a PE image, found by walking the resource directory by hand: type 16
// (RT_VERSION), its first name, its first language, then the VS_VERSIONINFO block whose value is
// the fixed file information.
#include <cstring>

#include "package/package_format.h"
#include "package/pe_image.h"
#include "runtime/errors.h"
#include "runtime/platform.h"

namespace {

constexpr uint32_t kHeaderBytes = 4096;
constexpr uint32_t kVersionType = 16;
constexpr uint32_t kSubdirectory = 0x80000000;
constexpr uint32_t kMaxEntriesScanned = 4096;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoOffset = 40;  // after wLength, wValueLength, wType, L"VS_VERSION_INFO" and padding
constexpr uint32_t kFixedInfoSize = 52;

struct Image {
  const PeSource* source;
  uint8_t headers[kHeaderBytes];
  uint32_t header_size;
  PeHeaders pe;
  uint64_t resources;  // file offset of the resource directory
};

uint32_t ReadAt(const Image& image, uint64_t offset, void* buffer, uint32_t count) {
  uint32_t got = 0;
  uint32_t err = image.source->read_at(image.source->context, offset, buffer, count, &got);
  if (err) return err;
  return got == count ? ERROR_SUCCESS : ERROR_RESOURCE_DATA_NOT_FOUND;
}

bool RvaToOffset(const Image& image, uint32_t rva, uint64_t* offset) {
  for (uint32_t k = 0; k < image.pe.section_count; ++k) {
    const uint8_t* section = image.headers + image.pe.section_table_offset + k * 40;
    uint32_t virtual_size = LoadLe32(section + 8);
    uint32_t address = LoadLe32(section + 12);
    uint32_t raw_size = LoadLe32(section + 16);
    uint32_t raw_offset = LoadLe32(section + 20);
    uint32_t span = virtual_size > raw_size ? virtual_size : raw_size;
    if (rva >= address && rva - address < span && rva - address < raw_size) {
      *offset = uint64_t(raw_offset) + (rva - address);
      return true;
    }
  }
  return false;
}

// The OffsetToData word of the directory entry at `directory` (relative to the resource
// directory) whose id is `id`, or of its first entry when `id` is kAnyEntry.
constexpr uint32_t kAnyEntry = 0xFFFFFFFF;
uint32_t FindEntry(const Image& image, uint32_t directory, uint32_t id, uint32_t* target) {
  uint8_t header[16];
  uint32_t err = ReadAt(image, image.resources + directory, header, sizeof header);
  if (err) return err;
  uint32_t named = LoadLe16(header + 12);
  uint32_t total = named + LoadLe16(header + 14);
  if (total > kMaxEntriesScanned) total = kMaxEntriesScanned;
  for (uint32_t k = id == kAnyEntry ? 0 : named; k < total; ++k) {
    uint8_t entry[8];
    if ((err = ReadAt(image, image.resources + directory + 16 + 8 * k, entry, sizeof entry))) return err;
    if (id == kAnyEntry || LoadLe32(entry) == id) {
      *target = LoadLe32(entry + 4);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_RESOURCE_TYPE_NOT_FOUND;
}

// Type, name, language: two subdirectories and then a data entry (RVA, size).
uint32_t FindVersionData(const Image& image, uint32_t* rva, uint32_t* size) {
  uint32_t name, language, data;
  uint32_t err = FindEntry(image, 0, kVersionType, &name);
  if (err) return err;
  if (!(name & kSubdirectory)) return ERROR_RESOURCE_DATA_NOT_FOUND;
  if ((err = FindEntry(image, name & ~kSubdirectory, kAnyEntry, &language))) return err;
  if (!(language & kSubdirectory)) return ERROR_RESOURCE_DATA_NOT_FOUND;
  if ((err = FindEntry(image, language & ~kSubdirectory, kAnyEntry, &data))) return err;
  if (data & kSubdirectory) return ERROR_RESOURCE_DATA_NOT_FOUND;
  uint8_t entry[8];
  if ((err = ReadAt(image, image.resources + data, entry, sizeof entry))) return err;
  *rva = LoadLe32(entry);
  *size = LoadLe32(entry + 4);
  return ERROR_SUCCESS;
}

bool IsVersionKey(const uint8_t* block) {
  static const char kKey[] = "VS_VERSION_INFO";
  for (int k = 0; k < 16; ++k)
    if (LoadLe16(block + 6 + 2 * k) != uint16_t(uint8_t(kKey[k]))) return false;
  return true;
}

uint32_t ReadFixedInfo(const Image& image, uint64_t* product_version, uint64_t* file_version) {
  uint32_t rva, size;
  uint32_t err = FindVersionData(image, &rva, &size);
  if (err) return err;
  uint64_t offset;
  if (size < kFixedInfoOffset + kFixedInfoSize || !RvaToOffset(image, rva, &offset)) return ERROR_RESOURCE_DATA_NOT_FOUND;
  uint8_t block[kFixedInfoOffset + kFixedInfoSize];
  if ((err = ReadAt(image, offset, block, sizeof block))) return err;
  const uint8_t* fixed = block + kFixedInfoOffset;
  if (LoadLe16(block + 2) < kFixedInfoSize || !IsVersionKey(block) || LoadLe32(fixed) != kFixedInfoSignature)
    return ERROR_RESOURCE_DATA_NOT_FOUND;
  *file_version = uint64_t(LoadLe32(fixed + 8)) << 32 | LoadLe32(fixed + 12);
  *product_version = uint64_t(LoadLe32(fixed + 16)) << 32 | LoadLe32(fixed + 20);
  return ERROR_SUCCESS;
}

uint32_t FileReadAt(void* context, uint64_t offset, void* buffer, uint32_t count, uint32_t* got) {
  FileHandle file = *static_cast<FileHandle*>(context);
  uint32_t err = FileSeek(file, offset);
  return err ? err : FileRead(file, buffer, count, got);
}

struct Memory {
  const uint8_t* bytes;
  size_t size;
};

uint32_t MemoryReadAt(void* context, uint64_t offset, void* buffer, uint32_t count, uint32_t* got) {
  const auto* memory = static_cast<const Memory*>(context);
  *got = 0;
  if (offset < memory->size) {
    size_t left = memory->size - size_t(offset);
    *got = count < left ? count : uint32_t(left);
    memcpy(buffer, memory->bytes + offset, *got);
  }
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t PeReadVersion(const PeSource* source, uint64_t* product_version, uint64_t* file_version) {
  *product_version = *file_version = 0;
  Image image{};
  image.source = source;
  uint32_t err = source->read_at(source->context, 0, image.headers, kHeaderBytes, &image.header_size);
  if (!err) err = PeParseHeaders(image.headers, image.header_size, &image.pe);
  if (!err && !image.pe.resource_rva) err = ERROR_RESOURCE_TYPE_NOT_FOUND;
  if (!err && !RvaToOffset(image, image.pe.resource_rva, &image.resources)) err = ERROR_RESOURCE_DATA_NOT_FOUND;
  if (!err) err = ReadFixedInfo(image, product_version, file_version);
  return err;
}

uint32_t PeReadFileVersion(const char16_t* path, uint64_t* product_version, uint64_t* file_version) {
  *product_version = *file_version = 0;
  FileHandle file;
  uint32_t err = FileOpenRead(path, kFileShareRead, &file);
  if (err) return err;
  PeSource source = {FileReadAt, &file};
  err = PeReadVersion(&source, product_version, file_version);
  FileClose(file);
  return err;
}

uint32_t PeReadMemoryVersion(const uint8_t* bytes, size_t size, uint64_t* product_version, uint64_t* file_version) {
  Memory memory = {bytes, size};
  PeSource source = {MemoryReadAt, &memory};
  return PeReadVersion(&source, product_version, file_version);
}
