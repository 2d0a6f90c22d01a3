// Byte layout of package volumes and entries. A package is one compressed stream of entries stored
// in one or more volumes; each volume starts with a 64-byte volume header, each entry of the
// decoded stream with a 64-byte entry header followed by its data. All integers are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t PackageMagic(const char (&text)[5]) {
  return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
         uint32_t(uint8_t(text[3])) << 24;
}

// Method magics at volume header offset 16.
constexpr uint32_t kPackageMethodZlib = PackageMagic("kez2");
constexpr uint32_t kPackageMethodLzma = PackageMagic("kez3");
constexpr uint32_t kPackageMethodLzma2 = PackageMagic("kez4");
constexpr uint32_t kPackageFormatVersion = 0x000B0008;
constexpr uint32_t kPackageEntryMagic = PackageMagic("kzf3");
// The two words behind each volume header XOR to this value; enciphered, they prove the password.
constexpr uint32_t kPackageCheckPairXor = 0x6D2E91B4;

constexpr uint32_t kVolumeHeaderSize = 64;
constexpr uint32_t kEntryHeaderSize = 64;
constexpr uint32_t kCheckPairSize = 8;
constexpr uint32_t kLzmaPropertiesSize = 5;
constexpr uint32_t kLzma2PropertiesSize = 1;

// Volume header flags.
enum : uint32_t {
  kVolumeEnciphered = 0x1,    // the bytes from volume offset 64 to the volume's end are enciphered
  kVolumeMaskPassword = 0x2,  // the password prompt masks what is typed
};

// Entry ids with fixed roles.
constexpr uint64_t kEntryIdDatabase = 0xFFFFFFFFFFFF0002ULL;
constexpr uint64_t kEntryIdExtension = 0xFFFFFFFFFFFF0005ULL;
constexpr uint64_t kEntryIdIcon = 0xFFFFFFFFFFFF0006ULL;
constexpr uint64_t kEntryIdReadme = 0xFFFFFFFFFFFF0011ULL;

// Names of volumes after the first: "Disk%04u.kez" with the volume index plus 1.
constexpr uint32_t kPackagePathCapacity = 260;  // 259 characters and the terminator

struct PackageVolumeHeader {
  uint8_t digest[16];       // of bytes 16 .. length-1 of the volume
  uint32_t method;          // kPackageMethod*
  uint32_t version;         // kPackageFormatVersion
  uint32_t flags;           // kVolume*
  uint32_t index;           // 0 for the first volume of a set
  uint64_t length;          // bytes of the volume, header included (at least 64)
  uint64_t set_identifier;  // 0 or the id of the setup object the package belongs to
  uint8_t package_code[16];
};

struct PackageEntryHeader {
  uint32_t magic;            // kPackageEntryMagic
  uint32_t unused4;          // not read by the runtime
  uint64_t id;
  uint64_t size;             // bytes of entry data that follow the header
  uint64_t creation_time;    // FILETIME
  uint64_t last_write_time;  // FILETIME
  uint32_t attributes;       // Windows file attributes
  uint32_t unused44;         // not read by the runtime
  uint64_t product_version;  // most significant 32 bits in the high half
  uint64_t file_version;
};

void PackageVolumeHeaderDecode(const uint8_t* bytes, PackageVolumeHeader* header);
void PackageVolumeHeaderEncode(const PackageVolumeHeader* header, uint8_t* bytes);
void PackageEntryHeaderDecode(const uint8_t* bytes, PackageEntryHeader* header);
void PackageEntryHeaderEncode(const PackageEntryHeader* header, uint8_t* bytes);

inline bool PackageIsMethod(uint32_t magic) {
  return magic == kPackageMethodZlib || magic == kPackageMethodLzma || magic == kPackageMethodLzma2;
}

inline uint16_t LoadLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t LoadLe64(const uint8_t* p) { return LoadLe32(p) | uint64_t(LoadLe32(p + 4)) << 32; }
inline void StoreLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void StoreLe64(uint8_t* p, uint64_t v) {
  StoreLe32(p, uint32_t(v));
  StoreLe32(p + 4, uint32_t(v >> 32));
}
