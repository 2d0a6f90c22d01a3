// Entry headers built from files (with the version resource of PE files) and their comparison.
#include <gtest/gtest.h>

#include "package/package_entry.h"
#include "package/pe_image.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "tests/package/package_test_support.h"

namespace {

const FakeVersion kVersion = {0x0002000300040005ULL, 0x0006000700080009ULL};

TEST(PeVersion, ReadsTheFixedFileInformation) {
  for (bool pe64 : {false, true}) {
    Bytes image = FakeExecutable(pe64, &kVersion, 0x1000);
    uint64_t product = 1, file = 1;
    ASSERT_EQ(PeReadMemoryVersion(image.data(), image.size(), &product, &file), 0u) << pe64;
    EXPECT_EQ(product, kVersion.product);
    EXPECT_EQ(file, kVersion.file);
  }
}

TEST(PeVersion, FilesWithoutOne) {
  uint64_t product, file;
  Bytes plain = FakeExecutable(false, nullptr, 0x1000);
  EXPECT_EQ(PeReadMemoryVersion(plain.data(), plain.size(), &product, &file), uint32_t(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(product | file, 0u);
  Bytes text(3000, 'x');
  EXPECT_EQ(PeReadMemoryVersion(text.data(), text.size(), &product, &file), uint32_t(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(PeReadMemoryVersion(text.data(), 10, &product, &file), uint32_t(ERROR_BAD_EXE_FORMAT));

  Bytes image = FakeExecutable(false, &kVersion, 0x1000);
  Bytes bad_signature = image;
  bad_signature[kFakeVersionBlockOffset + 40] ^= 1;
  EXPECT_EQ(PeReadMemoryVersion(bad_signature.data(), bad_signature.size(), &product, &file),
            uint32_t(ERROR_RESOURCE_DATA_NOT_FOUND));
  // Cut anywhere, the image gives an error and never reads outside its bytes.
  for (size_t size = 0; size < kFakeVersionBlockOffset + kFakeVersionBlockSize; size += 4) {
    uint32_t err = PeReadMemoryVersion(image.data(), size, &product, &file);
    EXPECT_NE(err, 0u) << size;
  }
  // Every directory word pointing elsewhere: still only errors or a result.
  for (size_t at = 0x400; at < kFakeVersionBlockOffset; ++at) {
    Bytes changed = image;
    changed[at] ^= 0x80;
    PeReadMemoryVersion(changed.data(), changed.size(), &product, &file);
  }
}

TEST(PeHeaders, ChecksumAndSecurityDirectoryPlaces) {
  for (bool pe64 : {false, true}) {
    Bytes image = FakeExecutable(pe64, nullptr, 0x1000);
    PeHeaders headers;
    ASSERT_EQ(PeParseHeaders(image.data(), image.size(), &headers), 0u);
    EXPECT_EQ(headers.magic, pe64 ? kPeMagic64 : kPeMagic32);
    EXPECT_EQ(LoadLe32(image.data() + headers.checksum_offset), kFakeChecksum);
    EXPECT_EQ(headers.security_offset, 0x80u + 24 + (pe64 ? 144 : 128));
    EXPECT_EQ(LoadLe32(image.data() + headers.security_offset), kFakeSecurityOffset);
  }
  Bytes image = FakeExecutable(false, nullptr, 0x1000);
  StoreLe16(image.data() + 0x80 + 24, 0x107);
  PeHeaders headers;
  EXPECT_EQ(PeParseHeaders(image.data(), image.size(), &headers), uint32_t(ERROR_BAD_EXE_FORMAT)) << "other magic";
}

TEST(PackageEntryHeader, BuiltFromAFile) {
  TempFolder folder;
  std::u16string path = folder.Path("tool.exe");
  Bytes image = FakeExecutable(true, &kVersion, 0x1234);
  WriteBytes(path, image);
  PackageEntryHeader header;
  ASSERT_EQ(PackageEntryHeaderFromFile(path.c_str(), &header), 0u);
  FileFacts facts;
  ASSERT_EQ(FileGetFacts(path.c_str(), &facts), 0u);
  EXPECT_EQ(header.magic, kPackageEntryMagic);
  EXPECT_EQ(header.id, 0u);
  EXPECT_EQ(header.size, 0x1234u);
  EXPECT_EQ(header.attributes, facts.attributes);
  EXPECT_EQ(header.creation_time, facts.creation_time);
  EXPECT_EQ(header.last_write_time, facts.last_write_time);
  EXPECT_EQ(header.product_version, kVersion.product);
  EXPECT_EQ(header.file_version, kVersion.file);
  // Stored with the least significant word of each version first.
  uint8_t bytes[64];
  PackageEntryHeaderEncode(&header, bytes);
  EXPECT_EQ(LoadLe32(bytes + 48), 0x00040005u);
  EXPECT_EQ(LoadLe32(bytes + 52), 0x00020003u);
  EXPECT_EQ(LoadLe32(bytes + 60), 0x00060007u);

  std::u16string text = folder.Path("readme.txt");
  WriteBytes(text, Bytes(10, 'a'));
  ASSERT_EQ(PackageEntryHeaderFromFile(text.c_str(), &header), 0u);
  EXPECT_EQ(header.product_version | header.file_version, 0u);

  EXPECT_EQ(PackageEntryHeaderFromFile(folder.Path("missing").c_str(), &header), uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(header.attributes, uint32_t(kAttributeInvalid));
  EXPECT_EQ(header.magic, kPackageEntryMagic);
}

TEST(PackageEntryHeader, Comparison) {
  auto make = [](uint64_t product, uint64_t file, uint64_t size, uint64_t written) {
    PackageEntryHeader h{};
    h.magic = kPackageEntryMagic;
    h.product_version = product;
    h.file_version = file;
    h.size = size;
    h.last_write_time = written;
    h.attributes = 0x20;
    return h;
  };
  PackageEntryHeader missing = make(9, 9, 9, 9);
  missing.attributes = kAttributeInvalid;
  struct Case {
    const char* name;
    PackageEntryHeader a, b;
    int order;
  };
  const Case kCases[] = {
      {"product version decides", make(2, 1, 5, 1), make(1, 9, 5, 9), 1},
      {"then the file version", make(1, 1, 5, 9), make(1, 2, 5, 1), -1},
      {"equal versions and sizes are equal", make(1, 1, 5, 1), make(1, 1, 5, 9), 0},
      {"equal versions, other sizes: the time", make(1, 1, 5, 9), make(1, 1, 6, 1), 1},
      {"no versions: the time", make(0, 0, 5, 1), make(0, 0, 5, 2), -1},
      {"no versions, same time", make(0, 0, 5, 7), make(0, 0, 6, 7), 0},
      {"missing before present", missing, make(0, 0, 0, 0), -1},
      {"both missing", missing, missing, 0},
  };
  for (const Case& c : kCases) {
    int forward = PackageEntryHeaderCompare(&c.a, &c.b);
    int backward = PackageEntryHeaderCompare(&c.b, &c.a);
    EXPECT_EQ((forward > 0) - (forward < 0), c.order) << c.name;
    EXPECT_EQ((backward > 0) - (backward < 0), -c.order) << c.name;
  }
  PackageEntryHeader present = make(0, 0, 0, 0);
  EXPECT_LT(PackageEntryHeaderCompare(nullptr, &present), 0);
  EXPECT_GT(PackageEntryHeaderCompare(&present, nullptr), 0);
}

}  // namespace
