// How a file is classified: a stand-alone volume (a method magic at offset 16), an executable with
// an appended package (found through the package locator in its DOS header), or neither. The
// start-up sequence's variant first recognises a bare setup database file ("kes9" at offset 0).
#pragma once
#include <cstddef>
#include <cstdint>

enum PackageFileKind : uint32_t {
  kFileHoldsNoPackage = 0,
  kFileIsDatabase = 1,
  kFileIsStandAloneVolume = 2,
  kFileIsExecutableWithPackage = 3,
};

// The DOS-header fields of an executable that carries a package.
constexpr uint32_t kPackageMarkerOffset = 0x24;     // "qe11"
constexpr uint32_t kPackageLocatorOffset = 0x28;    // 16 bytes, see PackageLocator
constexpr uint32_t kLocatorChecksumOffset = 0x38;   // checksum of the 16 locator bytes
constexpr uint32_t kMinimumPackageOffset = 0x4000;
constexpr uint32_t kMaximumPackageOffset = 0x10000000;
constexpr uint32_t kClassifyBytes = 4096;           // how much of a file the classification reads

struct PackageLocator {
  uint32_t image_checksum;   // the optional header's checksum before the package was appended
  uint32_t security_offset;  // the security-directory entry of that time (certificate block)
  uint32_t security_size;
  uint32_t package_offset;   // file offset of the first volume header = length of the executable
};

constexpr uint32_t PackageMarker() { return 0x31316571; }  // "qe11"
// checksum := checksum * 65599 + byte over the 16 locator bytes, modulo 2^32.
uint32_t PackageLocatorChecksum(const uint8_t* locator);
void PackageLocatorDecode(const uint8_t* locator, PackageLocator* out);
void PackageLocatorEncode(const PackageLocator* locator, uint8_t* out);

// Classifies the first bytes of a file (at most kClassifyBytes; all of it when shorter). With
// `database_variant`, "kes9" at offset 0 gives kFileIsDatabase first. `volume_offset` receives the
// offset of the first volume header (0 for a stand-alone volume).
PackageFileKind PackageClassifyBytes(const uint8_t* bytes, size_t size, bool database_variant,
                                     uint64_t* volume_offset);
// Reads the first bytes of a file and classifies them. Returns 0 or the system's error for a file
// that cannot be read.
uint32_t PackageClassifyFile(const char16_t* path, bool database_variant, PackageFileKind* kind,
                             uint64_t* volume_offset);
