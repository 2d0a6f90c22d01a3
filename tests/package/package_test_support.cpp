#include "tests/package/package_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "package/package_digest.h"
#include "runtime/platform.h"
#include "runtime/text.h"

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::string name = "pkgtest-" + std::to_string(PlatformNowFileTime() % 1000000007ULL) + "-" +
                     std::to_string(counter++);
  root_ = fs::temp_directory_path() / name;
  fs::create_directories(root_);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  for (auto& entry : fs::recursive_directory_iterator(root_, ec))
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
  fs::remove_all(root_, ec);
}

std::u16string TempFolder::Path(const std::string& name) const { return (root_ / name).u16string(); }

Bytes ReadBytes(const std::u16string& path) {
  Bytes bytes;
  FileHandle file;
  if (FileOpenRead(path.c_str(), kFileShareRead, &file)) return bytes;
  uint64_t size = 0;
  FileSize(file, &size);
  bytes.resize(size_t(size));
  uint32_t got = 0;
  if (size) FileRead(file, bytes.data(), uint32_t(size), &got);
  FileClose(file);
  bytes.resize(got);
  return bytes;
}

void WriteBytes(const std::u16string& path, const Bytes& bytes) {
  FileHandle file;
  ASSERT_EQ(FileCreateWrite(path.c_str(), 0, &file), 0u);
  if (!bytes.empty()) {
    EXPECT_EQ(FileWrite(file, bytes.data(), uint32_t(bytes.size())), 0u);
  }
  FileClose(file);
}

bool Exists(const std::u16string& path) {
  uint32_t attributes;
  return FileGetAttributes(path.c_str(), &attributes) == 0;
}

Bytes TestData(size_t size, uint32_t seed, bool compressible) {
  Bytes data(size);
  uint32_t x = seed * 2654435761u + 12345;
  static const char kWords[] = "setup package volume entry header stream digest cipher archive ";
  for (size_t k = 0; k < size; ++k) {
    x = x * 1103515245u + 12345u;
    data[k] = compressible ? uint8_t(kWords[(k + (x >> 28)) % (sizeof kWords - 1)]) : uint8_t(x >> 23);
  }
  return data;
}

void DamageByte(const std::u16string& path, uint64_t offset, uint8_t mask) {
  Bytes bytes = ReadBytes(path);
  ASSERT_LT(offset, bytes.size());
  bytes[size_t(offset)] ^= mask;
  WriteBytes(path, bytes);
}

void RewriteDigest(const std::u16string& path, uint64_t volume_offset) {
  Bytes bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), volume_offset + 64);
  uint8_t* header = bytes.data() + volume_offset;
  uint64_t length = LoadLe64(header + 32);
  if (length > bytes.size() - volume_offset) length = bytes.size() - volume_offset;
  PackageDigest digest;
  PackageDigestInit(&digest);
  PackageDigestUpdate(&digest, header + 16, length - 16);
  PackageDigestFinal(&digest, header);
  WriteBytes(path, bytes);
}

void PatchVolumeU32(const std::u16string& path, uint64_t volume_offset, uint32_t field_offset, uint32_t value) {
  Bytes bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), volume_offset + 64);
  StoreLe32(bytes.data() + volume_offset + field_offset, value);
  WriteBytes(path, bytes);
  RewriteDigest(path, volume_offset);
}

TestEntry MakeEntry(uint64_t id, Bytes data, uint32_t attributes) {
  TestEntry entry{};
  entry.header.id = id;
  entry.header.size = data.size();
  entry.header.creation_time = 0x01D0000000000000ULL + id;
  entry.header.last_write_time = 0x01D9A1B2C3D4E5F0ULL;  // whole seconds do not matter here
  entry.header.attributes = attributes;
  entry.header.product_version = 0x0001000200030004ULL;
  entry.header.file_version = 0x0005000600070008ULL;
  entry.data = std::move(data);
  return entry;
}

PackageWriterOptions TestOptions(uint32_t method) {
  PackageWriterOptions options = {};
  options.method = method;
  options.level = 1;
  options.dictionary_size = method == kPackageMethodZlib ? 0 : 1u << 20;
  options.set_identifier = 0x1122334455667788ULL;
  for (int k = 0; k < 16; ++k) options.package_code[k] = uint8_t(0xA0 + k);
  return options;
}

uint32_t WritePackage(const std::u16string& path, const PackageWriterOptions& options,
                      const std::vector<TestEntry>& entries, uint32_t* volumes) {
  PackageWriter* writer;
  uint32_t err = PackageWriterCreate(path.c_str(), &options, &writer);
  if (err) return err;
  for (const TestEntry& entry : entries) {
    if ((err = PackageWriterAddMemory(writer, &entry.header, entry.data.data()))) break;
  }
  return PackageWriterFinish(writer, err, volumes);
}
