// The runtime copy's image: what the package builder changes in the headers of the executable that
// carries a package is put back, for 32-bit and 64-bit images, and a damaged header is refused.
#include <gtest/gtest.h>

#include <cstring>

#include "package/package_append.h"
#include "package/package_classify.h"
#include "package/package_format.h"
#include "runtime/buffered_file.h"
#include "runtime/errors.h"
#include "session/runtime_copy.h"
#include "tests/package/fake_executable.h"
#include "tests/runtime/windows_test_support.h"

using namespace test_support;

namespace {

constexpr size_t kImageSize = 0x12000;

// The image as the package builder writes it in front of a package.
Bytes Prepared(const Bytes& image) {
  TempFolder folder(u"runtime_copy_");
  std::u16string path = folder.File(u"prepared.exe");
  BufferedFile out{};
  EXPECT_EQ(BufferedCreate(&out, path.c_str(), 0), 0u);
  uint64_t offset = 0;
  EXPECT_EQ(PackageCopyExecutableImage(image.data(), image.size(), &out, &offset), 0u);
  EXPECT_EQ(BufferedClose(&out), 0u);
  std::string bytes = ReadBytes(path);
  return Bytes(bytes.begin(), bytes.end());
}

uint32_t OptionalHeader(const Bytes& image) { return LoadLe32(image.data() + 0x3C) + 24; }

}  // namespace

TEST(RuntimeCopy, RestoresTheImageThePackageBuilderChanged) {
  for (bool pe64 : {false, true}) {
    Bytes original = FakeExecutable(pe64, nullptr, kImageSize);
    Bytes copy = Prepared(original);
    ASSERT_EQ(copy.size(), original.size());
    ASSERT_NE(copy, original) << "the builder cleared the checksum and the security entry";
    EXPECT_EQ(RuntimeCopyRestoreImage(copy.data(), uint32_t(copy.size())), 0u) << pe64;
    EXPECT_EQ(copy, original) << pe64;
  }
}

TEST(RuntimeCopy, RefusesADamagedHeader) {
  struct Case {
    const char* what;
    size_t size;
    void (*damage)(Bytes*);
    uint32_t error;
  } const kCases[] = {
      {"no marker", kImageSize, [](Bytes* b) { memset(b->data() + kPackageMarkerOffset, 0, 4); }, ERROR_BAD_FORMAT},
      {"locator checksum", kImageSize, [](Bytes* b) { (*b)[kLocatorChecksumOffset] ^= 1; }, ERROR_CRC},
      {"changed locator", kImageSize, [](Bytes* b) { (*b)[kPackageLocatorOffset] ^= 1; }, ERROR_CRC},
      {"package offset below 0x10000", 0x8000, [](Bytes*) {}, ERROR_BAD_FORMAT},
      {"optional header 0x107", kImageSize, [](Bytes* b) { StoreLe16(b->data() + OptionalHeader(*b), 0x107); },
       ERROR_BAD_FORMAT},
  };
  for (const Case& c : kCases) {
    Bytes copy = Prepared(FakeExecutable(false, nullptr, c.size));
    c.damage(&copy);
    EXPECT_EQ(RuntimeCopyRestoreImage(copy.data(), uint32_t(copy.size())), c.error) << c.what;
  }
}
