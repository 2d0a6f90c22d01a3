#include "package/package_classify.h"

#include "package/package_format.h"
#include "runtime/errors.h"
#include "runtime/platform.h"

namespace {

constexpr uint32_t kDatabaseMagic = PackageMagic("kes9");

bool IsExecutableWithPackage(const uint8_t* bytes, size_t size, uint64_t* volume_offset) {
  if (size < kLocatorChecksumOffset + 4 || LoadLe16(bytes) != 0x5A4D) return false;
  if (LoadLe32(bytes + kPackageMarkerOffset) != PackageMarker()) return false;
  const uint8_t* locator = bytes + kPackageLocatorOffset;
  if (PackageLocatorChecksum(locator) != LoadLe32(bytes + kLocatorChecksumOffset)) return false;
  PackageLocator fields;
  PackageLocatorDecode(locator, &fields);
  if (fields.package_offset < kMinimumPackageOffset || fields.package_offset > kMaximumPackageOffset) return false;
  *volume_offset = fields.package_offset;
  return true;
}

}  // namespace

uint32_t PackageLocatorChecksum(const uint8_t* locator) {
  uint32_t checksum = 0;
  for (int k = 0; k < 16; ++k) checksum = checksum * 0x1003F + locator[k];
  return checksum;
}

void PackageLocatorDecode(const uint8_t* locator, PackageLocator* out) {
  out->image_checksum = LoadLe32(locator);
  out->security_offset = LoadLe32(locator + 4);
  out->security_size = LoadLe32(locator + 8);
  out->package_offset = LoadLe32(locator + 12);
}

void PackageLocatorEncode(const PackageLocator* locator, uint8_t* out) {
  StoreLe32(out, locator->image_checksum);
  StoreLe32(out + 4, locator->security_offset);
  StoreLe32(out + 8, locator->security_size);
  StoreLe32(out + 12, locator->package_offset);
}

PackageFileKind PackageClassifyBytes(const uint8_t* bytes, size_t size, bool database_variant,
                                     uint64_t* volume_offset) {
  *volume_offset = 0;
  if (database_variant && size >= 4 && LoadLe32(bytes) == kDatabaseMagic) return kFileIsDatabase;
  if (size >= 20 && PackageIsMethod(LoadLe32(bytes + 16))) return kFileIsStandAloneVolume;
  if (IsExecutableWithPackage(bytes, size, volume_offset)) return kFileIsExecutableWithPackage;
  return kFileHoldsNoPackage;
}

uint32_t PackageClassifyFile(const char16_t* path, bool database_variant, PackageFileKind* kind,
                             uint64_t* volume_offset) {
  *kind = kFileHoldsNoPackage;
  *volume_offset = 0;
  FileHandle file;
  uint32_t err = FileOpenRead(path, kFileShareRead, &file);
  if (err) return err;
  uint8_t bytes[kClassifyBytes];
  uint32_t got = 0;
  err = FileRead(file, bytes, sizeof bytes, &got);
  FileClose(file);
  if (!err) *kind = PackageClassifyBytes(bytes, got, database_variant, volume_offset);
  return err;
}
