// The few facts of a Windows PE image that the package code needs, read portably from the file's
// bytes: where the optional header keeps its checksum and the security-directory entry (for
// appending a package to an executable), and the fixed file information of the version resource
// (product and file version of packaged files).
#pragma once
#include <cstddef>
#include <cstdint>

struct PeHeaders {
  uint32_t pe_offset;            // file offset of "PE\0\0"
  uint16_t magic;                // 0x10B for 32-bit images, 0x20B for 64-bit images
  uint32_t checksum_offset;      // file offset of the optional header's checksum
  uint32_t security_offset;      // file offset of the security-directory entry (0: the image has none)
  uint32_t resource_rva;         // resource directory (0: none)
  uint32_t section_table_offset;
  uint16_t section_count;
};

constexpr uint16_t kPeMagic32 = 0x10B;
constexpr uint16_t kPeMagic64 = 0x20B;

// Parses the DOS, file and optional headers and checks that they and the section table lie within
// the first `size` bytes of the file. Returns 0 or 193 (ERROR_BAD_EXE_FORMAT).
uint32_t PeParseHeaders(const uint8_t* bytes, size_t size, PeHeaders* headers);

// Random access to the bytes of an image: reads up to `count` bytes at `offset`; `*got` is less
// only at the end.
struct PeSource {
  uint32_t (*read_at)(void* context, uint64_t offset, void* buffer, uint32_t count, uint32_t* got);
  void* context;
};

// The product and file version of the image's version resource (the first RT_VERSION resource),
// each with its most significant 32 bits in the high half. Returns 0; 193 for a file that is not a
// PE image; 1813 (ERROR_RESOURCE_TYPE_NOT_FOUND) when it has no version resource; 1812
// (ERROR_RESOURCE_DATA_NOT_FOUND) when the resource is damaged; or the source's read error.
uint32_t PeReadVersion(const PeSource* source, uint64_t* product_version, uint64_t* file_version);
uint32_t PeReadFileVersion(const char16_t* path, uint64_t* product_version, uint64_t* file_version);
uint32_t PeReadMemoryVersion(const uint8_t* bytes, size_t size, uint64_t* product_version, uint64_t* file_version);
