// A PE image held in memory for rewriting (the runtime that kez stamps): its headers, section table
// and data directories, checked strictly enough that a rewrite can rely on them: sections in
// ascending address order without overlaps, raw data inside the file and not overlapping, the
// header area holding the section table, alignments that are powers of two.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "package/pe_image.h"

struct PeSection {
  std::string name;  // long names ("/4") read from the COFF string table when it has them
  uint32_t virtual_size;
  uint32_t rva;
  uint32_t raw_size;
  uint32_t raw_offset;
  uint32_t characteristics;
};

constexpr uint32_t kPeSectionHeaderSize = 40;
constexpr uint32_t kPeSectionDiscardable = 0x02000000;
constexpr uint32_t kPeSectionInitializedData = 0x00000040;

enum : uint32_t {
  kPeDirectoryResource = 2,
  kPeDirectorySecurity = 4,  // a file offset, not an address
  kPeDirectoryRelocation = 5,
  kPeDirectoryDebug = 6,
  kPeDirectoryMaximum = 16,
};

// Offsets in the optional header, the same for 32-bit and 64-bit images.
enum : uint32_t {
  kPeOptionalInitializedData = 8,
  kPeOptionalEntryPoint = 16,
  kPeOptionalSectionAlignment = 32,
  kPeOptionalFileAlignment = 36,
  kPeOptionalImageSize = 56,
  kPeOptionalHeadersSize = 60,
  kPeOptionalChecksum = 64,
};

struct PeFile {
  std::vector<uint8_t> bytes;
  PeHeaders headers;
  uint32_t file_header_offset;  // the COFF file header, after "PE\0\0"
  uint32_t optional_offset;
  uint32_t directories_offset;  // file offset of data directory 0
  uint32_t directory_count;     // at most kPeDirectoryMaximum
  uint32_t section_alignment;
  uint32_t file_alignment;
  uint32_t headers_size;
  uint32_t symbol_table;        // file offset of the COFF symbol table, 0 for none
  std::vector<PeSection> sections;
};

// Takes `bytes` and checks them as described above. Returns 0 or 193 (ERROR_BAD_EXE_FORMAT) with
// *why saying what does not fit.
uint32_t PeFileParse(std::vector<uint8_t> bytes, PeFile* file, std::string* why);

// Data directory `index`: its address (a file offset for the security directory) and size; zeros
// when the image has no such directory.
void PeDirectory(const PeFile& file, uint32_t index, uint32_t* address, uint32_t* size);

// The first address after the section: its address plus its virtual size (or its raw size when the
// virtual size is 0, as the loader reads it).
uint64_t PeSectionEnd(const PeSection& section);

// The bytes of [rva, rva + size) when they lie inside one section's raw data; null otherwise.
const uint8_t* PeBytesAt(const PeFile& file, uint32_t rva, uint32_t size);

// The end of the last section's raw data (at least the header size): where appended data start.
uint32_t PeRawEnd(const PeFile& file);

// True when the base relocations parse and none of them patches a page in [begin, end): data
// there may then move or change without breaking the code that the loader relocates.
bool PeRelocationsAvoid(const PeFile& file, uint64_t begin, uint64_t end);

// True when a section carries debug information (a name starting with ".debug" or ".zdebug").
bool PeHasDebugSections(const PeFile& file);

// The image checksum as the loader's check computes it: 16-bit words summed with end-around carry,
// the checksum field counted as 0, plus the file's length.
uint32_t PeComputeChecksum(const uint8_t* bytes, size_t size, uint32_t checksum_offset);
