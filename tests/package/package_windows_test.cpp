// Extraction to disk and version reading checked with the Windows API itself (run under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include "package/package_entry.h"
#include "package/package_reader.h"
#include "package/pe_image.h"
#include "tests/package/package_test_support.h"

namespace {

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

uint64_t U64(FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

struct Times {
  uint64_t creation, write;
};

Times TimesOf(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(GetFileAttributesExW(W(path), GetFileExInfoStandard, &data));
  return {U64(data.ftCreationTime), U64(data.ftLastWriteTime)};
}

class WindowsExtraction : public ::testing::Test {
 protected:
  TempFolder folder;
  PackageReader* reader = PackageReaderCreate();
  std::vector<TestEntry> entries = {
      MakeEntry(1, TestData(100000, 1, true), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
      MakeEntry(2, Bytes(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE),
      MakeEntry(3, TestData(10, 2, true), 0),
  };
  std::u16string path = folder.Path("a.kez");

  void SetUp() override { ASSERT_EQ(WritePackage(path, TestOptions(kPackageMethodLzma), entries), 0u); }
  ~WindowsExtraction() override {
    PackageReaderDestroy(reader);
    for (auto& entry : std::filesystem::directory_iterator(folder.Root()))
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
};

TEST_F(WindowsExtraction, LastWriteTimeAndAttributesComeFromTheHeader) {
  ASSERT_EQ(PackageOpen(reader, path.c_str(), nullptr, 0, 1, nullptr, nullptr), 0u);
  for (const TestEntry& want : entries) {
    PackageEntryHeader header;
    ASSERT_EQ(PackageNextEntry(reader, &header), 0u);
    std::u16string target = folder.Path("entry" + std::to_string(header.id));
    ASSERT_EQ(PackageExtractEntry(reader, &header, target.c_str()), 0u);
    // Only the last-write time is set. (Wine derives a file's creation time from its Unix times,
    // so that the creation time is left alone cannot be seen here.)
    Times times = TimesOf(target);
    EXPECT_EQ(times.write, want.header.last_write_time);
    EXPECT_NE(times.creation, want.header.creation_time);
    DWORD attributes = GetFileAttributesW(W(target));
    if (want.header.attributes) {
      EXPECT_EQ(attributes, want.header.attributes) << header.id;
    } else {
      EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
    }
    EXPECT_TRUE(ReadBytes(target) == want.data);
  }
}

TEST_F(WindowsExtraction, ReplacesAReadOnlyHiddenSystemFile) {
  std::u16string target = folder.Path("existing.bin");
  WriteBytes(target, Bytes(5, 'x'));
  ASSERT_TRUE(SetFileAttributesW(W(target), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_EQ(PackageOpen(reader, path.c_str(), nullptr, 0, 1, nullptr, nullptr), 0u);
  PackageEntryHeader header;
  ASSERT_EQ(PackageNextEntry(reader, &header), 0u);
  ASSERT_EQ(PackageExtractEntry(reader, &header, target.c_str()), 0u);
  EXPECT_TRUE(ReadBytes(target) == entries[0].data);
  EXPECT_EQ(GetFileAttributesW(W(target)), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

// The portable reading of the version resource gives what the system's version API gives.
TEST(WindowsVersion, SameAsGetFileVersionInfo) {
  wchar_t system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  int compared = 0;
  for (const wchar_t* name : {L"kernel32.dll", L"user32.dll", L"shell32.dll", L"notepad.exe", L"version.dll"}) {
    std::wstring path = std::wstring(system) + L"\\" + name;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (!size) continue;
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    uint64_t product = 0, file = 0;
    ASSERT_EQ(PeReadFileVersion(reinterpret_cast<const char16_t*>(path.c_str()), &product, &file), 0u);
    EXPECT_EQ(product, (uint64_t(fixed->dwProductVersionMS) << 32) | fixed->dwProductVersionLS);
    EXPECT_EQ(file, (uint64_t(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS);
    ++compared;
  }
  if (!compared) GTEST_SKIP() << "no system file with a version resource";
}

}  // namespace
