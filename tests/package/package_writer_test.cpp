// What the writer produces beyond what the round trips show: volume sizes and names, the
// executable's headers, refused options and the clean-up after a failure.
#include <gtest/gtest.h>

#include "package/package_classify.h"
#include "package/package_digest.h"
#include "package/pe_image.h"
#include "runtime/errors.h"
#include "tests/package/package_test_support.h"

namespace {

std::vector<TestEntry> Entries() { return {MakeEntry(1, TestData(50000, 31, false)), MakeEntry(2, TestData(100, 32, true))}; }

TEST(PackageWriter, VolumesAreSplitAtTheLimitAndNamedByIndex) {
  TempFolder folder;
  PackageWriterOptions options = TestOptions(kPackageMethodLzma2);
  options.volume_limit = 12000;
  uint32_t volumes = 0;
  ASSERT_EQ(WritePackage(folder.Path("first.kez"), options, Entries(), &volumes), 0u);
  ASSERT_GE(volumes, 5u);
  for (uint32_t index = 0; index < volumes; ++index) {
    char name[32];
    snprintf(name, sizeof name, "Disk%04u.kez", index + 1);
    std::u16string path = folder.Path(index ? name : "first.kez");
    Bytes bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 64u) << name;
    PackageVolumeHeader header;
    PackageVolumeHeaderDecode(bytes.data(), &header);
    EXPECT_EQ(header.index, index);
    EXPECT_EQ(header.length, bytes.size());
    EXPECT_LE(bytes.size(), 12000u);
    if (index + 1 < volumes) {
      EXPECT_EQ(bytes.size(), 12000u);
    }
    EXPECT_EQ(header.method, kPackageMethodLzma2);
    EXPECT_EQ(header.version, kPackageFormatVersion);
    EXPECT_EQ(header.set_identifier, options.set_identifier);
    EXPECT_EQ(LoadLe32(bytes.data() + 64) ^ LoadLe32(bytes.data() + 68), kPackageCheckPairXor);
    PackageDigest digest;
    PackageDigestInit(&digest);
    PackageDigestUpdate(&digest, bytes.data() + 16, bytes.size() - 16);
    uint8_t expected[16];
    PackageDigestFinal(&digest, expected);
    EXPECT_TRUE(std::equal(expected, expected + 16, header.digest)) << name;
  }
  EXPECT_FALSE(Exists(folder.Path("Disk0001.kez")));
}

TEST(PackageWriter, AppendedToAnExecutable) {
  TempFolder folder;
  std::u16string stub = folder.Path("stub.exe");
  Bytes original = FakeExecutable(false, nullptr, 0x4321);
  WriteBytes(stub, original);
  PackageWriterOptions options = TestOptions(kPackageMethodZlib);
  options.executable = stub.c_str();
  options.volume_limit = 20000;
  uint32_t volumes;
  std::u16string path = folder.Path("Setup.exe");
  ASSERT_EQ(WritePackage(path, options, Entries(), &volumes), 0u);
  EXPECT_GE(volumes, 3u);
  EXPECT_TRUE(Exists(folder.Path("Disk0002.kez")));
  EXPECT_FALSE(Exists(folder.Path("Disk0001.kez")));

  Bytes bytes = ReadBytes(path);
  uint64_t offset;
  ASSERT_EQ(PackageClassifyBytes(bytes.data(), bytes.size(), false, &offset), kFileIsExecutableWithPackage);
  EXPECT_EQ(offset, original.size());
  PackageLocator locator;
  PackageLocatorDecode(bytes.data() + kPackageLocatorOffset, &locator);
  EXPECT_EQ(locator.image_checksum, kFakeChecksum);
  EXPECT_EQ(locator.security_offset, kFakeSecurityOffset);
  EXPECT_EQ(locator.security_size, kFakeSecuritySize);
  PeHeaders headers;
  ASSERT_EQ(PeParseHeaders(bytes.data(), 4096, &headers), 0u);
  EXPECT_EQ(LoadLe32(bytes.data() + headers.checksum_offset), 0u);
  EXPECT_EQ(LoadLe64(bytes.data() + headers.security_offset), 0u);
  // Apart from the prepared header fields the executable is copied as it was.
  auto prepared = [&](size_t k) {
    return (k >= kPackageMarkerOffset && k < kLocatorChecksumOffset + 4) ||
           (k >= headers.checksum_offset && k < headers.checksum_offset + 4) ||
           (k >= headers.security_offset && k < headers.security_offset + 8);
  };
  for (size_t k = 0; k < original.size(); ++k) {
    if (!prepared(k)) {
      ASSERT_EQ(bytes[k], original[k]) << k;
    }
  }
  PackageVolumeHeader header;
  PackageVolumeHeaderDecode(bytes.data() + offset, &header);
  EXPECT_EQ(header.length, bytes.size() - offset);
}

TEST(PackageWriter, RefusedOptions) {
  TempFolder folder;
  std::u16string path = folder.Path("a.kez");
  uint8_t long_password[256] = {};
  struct Case {
    const char* name;
    void (*adjust)(PackageWriterOptions&);
    uint32_t error;
  };
  static uint8_t* password = long_password;
  const Case kCases[] = {
      {"unknown method", [](PackageWriterOptions& o) { o.method = PackageMagic("kez5"); }, ERROR_UNSUPPORTED_COMPRESSION},
      {"level 10", [](PackageWriterOptions& o) { o.level = 10; }, ERROR_INVALID_PARAMETER},
      {"tiny dictionary", [](PackageWriterOptions& o) { o.dictionary_size = 100; }, ERROR_INVALID_PARAMETER},
      {"volume limit below 128", [](PackageWriterOptions& o) { o.volume_limit = 127; }, ERROR_INVALID_PARAMETER},
      {"password of 256 bytes",
       [](PackageWriterOptions& o) {
         o.password = password;
         o.password_length = 256;
       },
       ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : kCases) {
    PackageWriterOptions options = TestOptions(kPackageMethodLzma);
    c.adjust(options);
    PackageWriter* writer = reinterpret_cast<PackageWriter*>(1);
    EXPECT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), c.error) << c.name;
    EXPECT_EQ(writer, nullptr);
    EXPECT_FALSE(Exists(path)) << c.name;
  }
}

TEST(PackageWriter, RefusedExecutables) {
  TempFolder folder;
  std::u16string stub = folder.Path("stub.exe");
  std::u16string path = folder.Path("Setup.exe");
  PackageWriterOptions options = TestOptions(kPackageMethodZlib);
  options.executable = stub.c_str();
  PackageWriter* writer;
  WriteBytes(stub, FakeExecutable(false, nullptr, 0x3FFF));
  EXPECT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), uint32_t(ERROR_BAD_FORMAT));
  WriteBytes(stub, Bytes(0x5000, 'x'));
  EXPECT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), uint32_t(ERROR_BAD_EXE_FORMAT));
  EXPECT_FALSE(Exists(path));
}

TEST(PackageWriter, EntrySizesMustMatchAndFailuresLeaveNoFiles) {
  TempFolder folder;
  PackageWriterOptions options = TestOptions(kPackageMethodLzma);
  options.volume_limit = 1000;
  std::u16string path = folder.Path("a.kez");
  PackageWriter* writer;
  TestEntry entry = MakeEntry(1, TestData(500000, 33, false));

  ASSERT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), 0u);
  ASSERT_EQ(PackageWriterBeginEntry(writer, &entry.header), 0u);
  ASSERT_EQ(PackageWriterWriteData(writer, entry.data.data(), 400000), 0u);
  EXPECT_EQ(PackageWriterWriteData(writer, entry.data.data(), 100001), uint32_t(ERROR_INCORRECT_SIZE));
  EXPECT_EQ(PackageWriterWriteData(writer, entry.data.data(), 100000), uint32_t(ERROR_INCORRECT_SIZE)) << "stays failed";
  EXPECT_TRUE(Exists(folder.Path("Disk0002.kez")));
  EXPECT_EQ(PackageWriterFinish(writer, 0, nullptr), uint32_t(ERROR_INCORRECT_SIZE));
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(Exists(folder.Path("Disk0002.kez")));

  ASSERT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), 0u);
  ASSERT_EQ(PackageWriterBeginEntry(writer, &entry.header), 0u);
  ASSERT_EQ(PackageWriterWriteData(writer, entry.data.data(), 10), 0u);
  EXPECT_EQ(PackageWriterFinish(writer, 0, nullptr), uint32_t(ERROR_INCORRECT_SIZE)) << "entry left short";
  EXPECT_FALSE(Exists(path));

  ASSERT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), 0u);
  EXPECT_EQ(PackageWriterFinish(writer, ERROR_CANCELLED, nullptr), uint32_t(ERROR_CANCELLED)) << "the caller's failure";
  EXPECT_FALSE(Exists(path));
}

TEST(PackageWriter, EntriesFromFiles) {
  TempFolder folder;
  std::u16string source = folder.Path("payload.bin");
  Bytes data = TestData(70000, 34, false);
  WriteBytes(source, data);
  PackageWriterOptions options = TestOptions(kPackageMethodLzma);
  std::u16string path = folder.Path("a.kez");
  PackageWriter* writer;
  ASSERT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), 0u);
  EXPECT_EQ(PackageWriterAddFile(writer, 77, source.c_str()), 0u);
  EXPECT_EQ(PackageWriterAddFile(writer, 78, folder.Path("missing").c_str()), uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(PackageWriterFinish(writer, 0, nullptr), uint32_t(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(Exists(path));
}

}  // namespace
