#include <gtest/gtest.h>

#include "package/package_classify.h"
#include "package/package_format.h"
#include "tests/package/package_test_support.h"

namespace {

Bytes ExecutableWithLocator(uint32_t package_offset) {
  Bytes bytes = FakeExecutable(false, nullptr, 0x800);
  StoreLe32(bytes.data() + kPackageMarkerOffset, PackageMarker());
  PackageLocator locator = {1, 2, 3, package_offset};
  PackageLocatorEncode(&locator, bytes.data() + kPackageLocatorOffset);
  StoreLe32(bytes.data() + kLocatorChecksumOffset, PackageLocatorChecksum(bytes.data() + kPackageLocatorOffset));
  return bytes;
}

TEST(PackageClassify, LocatorChecksumMultipliesBy65599) {
  uint8_t locator[16] = {};
  EXPECT_EQ(PackageLocatorChecksum(locator), 0u);
  locator[15] = 7;
  EXPECT_EQ(PackageLocatorChecksum(locator), 7u);
  locator[14] = 1;
  EXPECT_EQ(PackageLocatorChecksum(locator), 65599u + 7u);
  for (int k = 0; k < 16; ++k) locator[k] = 0xFF;
  uint32_t expected = 0;
  for (int k = 0; k < 16; ++k) expected = expected * 65599u + 0xFF;
  EXPECT_EQ(PackageLocatorChecksum(locator), expected);
}

TEST(PackageClassify, Cases) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool database_variant;
    PackageFileKind kind;
    uint64_t offset;
  };
  auto volume = [](const char (&magic)[5], size_t size) {
    Bytes b(size);
    if (size >= 20) StoreLe32(b.data() + 16, PackageMagic(magic));
    return b;
  };
  Bytes magic_at_zero(64);
  StoreLe32(magic_at_zero.data(), kPackageMethodLzma);
  Bytes database(64);
  StoreLe32(database.data(), PackageMagic("kes9"));
  Bytes database_and_volume = volume("kez2", 64);
  StoreLe32(database_and_volume.data(), PackageMagic("kes9"));
  Bytes wrong_checksum = ExecutableWithLocator(0x5000);
  wrong_checksum[kLocatorChecksumOffset] ^= 1;
  Bytes no_marker = ExecutableWithLocator(0x5000);
  no_marker[kPackageMarkerOffset] = 'Q';
  Bytes no_mz = ExecutableWithLocator(0x5000);
  no_mz[0] = 'X';

  const Case kCases[] = {
      {"zlib volume", volume("kez2", 64), false, kFileIsStandAloneVolume, 0},
      {"LZMA volume", volume("kez3", 64), false, kFileIsStandAloneVolume, 0},
      {"LZMA2 volume", volume("kez4", 64), false, kFileIsStandAloneVolume, 0},
      {"20 bytes are enough to see the magic", volume("kez4", 20), false, kFileIsStandAloneVolume, 0},
      {"other magic", volume("kez5", 64), false, kFileHoldsNoPackage, 0},
      {"magic at offset 0 is not a volume", magic_at_zero, false, kFileHoldsNoPackage, 0},
      {"empty file", Bytes(), false, kFileHoldsNoPackage, 0},
      {"executable", ExecutableWithLocator(0x5000), false, kFileIsExecutableWithPackage, 0x5000},
      {"lowest package offset", ExecutableWithLocator(0x4000), false, kFileIsExecutableWithPackage, 0x4000},
      {"highest package offset", ExecutableWithLocator(0x10000000), false, kFileIsExecutableWithPackage, 0x10000000},
      {"package offset too low", ExecutableWithLocator(0x3FFF), false, kFileHoldsNoPackage, 0},
      {"package offset too high", ExecutableWithLocator(0x10000001), false, kFileHoldsNoPackage, 0},
      {"wrong locator checksum", wrong_checksum, false, kFileHoldsNoPackage, 0},
      {"no marker", no_marker, false, kFileHoldsNoPackage, 0},
      {"no MZ", no_mz, false, kFileHoldsNoPackage, 0},
      {"plain executable", FakeExecutable(false, nullptr, 0x800), false, kFileHoldsNoPackage, 0},
      {"database only for the start-up variant", database, false, kFileHoldsNoPackage, 0},
      {"database", database, true, kFileIsDatabase, 0},
      {"database magic comes first", database_and_volume, true, kFileIsDatabase, 0},
  };
  for (const Case& c : kCases) {
    uint64_t offset = 99;
    EXPECT_EQ(PackageClassifyBytes(c.bytes.data(), c.bytes.size(), c.database_variant, &offset), c.kind) << c.name;
    if (c.kind != kFileHoldsNoPackage) {
      EXPECT_EQ(offset, c.offset) << c.name;
    }
  }
}

TEST(PackageClassify, FilesAndMissingFiles) {
  TempFolder folder;
  std::u16string path = folder.Path("x.exe");
  Bytes bytes = ExecutableWithLocator(0x4000);
  bytes.resize(0x6000);
  WriteBytes(path, bytes);
  PackageFileKind kind;
  uint64_t offset;
  ASSERT_EQ(PackageClassifyFile(path.c_str(), true, &kind, &offset), 0u);
  EXPECT_EQ(kind, kFileIsExecutableWithPackage);
  EXPECT_EQ(offset, 0x4000u);
  EXPECT_EQ(PackageClassifyFile(folder.Path("missing").c_str(), true, &kind, &offset), 2u);
  EXPECT_EQ(kind, kFileHoldsNoPackage);
}

}  // namespace
