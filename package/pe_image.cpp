#include "package/pe_image.h"

#include "package/package_format.h"
#include "runtime/errors.h"

namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kChecksumField = 64;  // in the optional header, for both magics

}  // namespace

uint32_t PeParseHeaders(const uint8_t* bytes, size_t size, PeHeaders* headers) {
  *headers = {};
  if (size < 0x40 || LoadLe16(bytes) != 0x5A4D) return ERROR_BAD_EXE_FORMAT;
  uint32_t pe = LoadLe32(bytes + 0x3C);
  if (pe > size || size - pe < 4 + kFileHeaderSize + 2 || LoadLe32(bytes + pe) != kPeSignature)
    return ERROR_BAD_EXE_FORMAT;
  const uint8_t* file = bytes + pe + 4;
  uint16_t sections = LoadLe16(file + 2);
  uint16_t optional_size = LoadLe16(file + 16);
  uint32_t optional = pe + 4 + kFileHeaderSize;
  uint64_t table = uint64_t(optional) + optional_size;
  if (table + uint64_t(sections) * kSectionHeaderSize > size) return ERROR_BAD_EXE_FORMAT;

  uint16_t magic = LoadLe16(bytes + optional);
  uint32_t directories;  // offset of the data directories in the optional header
  if (magic == kPeMagic32) {
    directories = 96;
  } else if (magic == kPeMagic64) {
    directories = 112;
  } else {
    return ERROR_BAD_EXE_FORMAT;
  }
  if (optional_size < directories) return ERROR_BAD_EXE_FORMAT;
  uint32_t count = LoadLe32(bytes + optional + directories - 4);  // NumberOfRvaAndSizes
  auto has_directory = [&](uint32_t k) { return count > k && directories + 8 * (k + 1) <= optional_size; };

  headers->pe_offset = pe;
  headers->magic = magic;
  headers->checksum_offset = optional + kChecksumField;
  if (has_directory(2)) headers->resource_rva = LoadLe32(bytes + optional + directories + 16);
  if (has_directory(4)) headers->security_offset = optional + directories + 32;
  headers->section_table_offset = uint32_t(table);
  headers->section_count = sections;
  return ERROR_SUCCESS;
}
