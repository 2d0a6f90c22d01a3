// Round trips through the writer and the reader: every method, plain and enciphered, one volume
// and many, stand-alone and appended to an executable.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "package/package_classify.h"
#include "package/package_reader.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "tests/package/package_test_support.h"

namespace {

const uint8_t kPassword[] = "correct horse";

uint32_t GivePassword(PackageReader*, uint32_t attempt, uint8_t* buffer, uint32_t* length) {
  if (attempt > 0) return ERROR_INVALID_PASSWORD;
  *length = sizeof kPassword - 1;
  memcpy(buffer, kPassword, *length);
  return 0;
}

bool VolumeByName(PackageReader* reader, uint32_t index, uint32_t last_error, char16_t* path) {
  if (last_error) return false;
  PackageVolumePathBeside(reader->path, index, path, path + kPackagePathCapacity - 1);
  return true;
}

std::vector<TestEntry> SampleEntries() {
  std::vector<TestEntry> entries;
  entries.push_back(MakeEntry(kEntryIdDatabase, TestData(3000, 1, true)));
  entries.push_back(MakeEntry(0x100, Bytes(), 0x21));                      // empty
  entries.push_back(MakeEntry(0x200, TestData(200000, 2, false)));         // beyond every buffer
  entries.push_back(MakeEntry(0x300, TestData(150000, 3, true)));
  entries.push_back(MakeEntry(kEntryIdReadme, TestData(10, 4, true)));
  return entries;
}

void ExpectHeader(const PackageEntryHeader& got, const PackageEntryHeader& want) {
  EXPECT_EQ(got.magic, kPackageEntryMagic);
  EXPECT_EQ(got.id, want.id);
  EXPECT_EQ(got.size, want.size);
  EXPECT_EQ(got.creation_time, want.creation_time);
  EXPECT_EQ(got.last_write_time, want.last_write_time);
  EXPECT_EQ(got.attributes, want.attributes);
  EXPECT_EQ(got.product_version, want.product_version);
  EXPECT_EQ(got.file_version, want.file_version);
}

struct Reader {
  PackageReader* reader = PackageReaderCreate();
  Reader() {
    reader->next_volume_provider = VolumeByName;
    reader->password_provider = GivePassword;
  }
  ~Reader() { PackageReaderDestroy(reader); }
  operator PackageReader*() { return reader; }
  PackageReader* operator->() { return reader; }
};

// method, enciphered, volume limit, inside an executable
using Layout = std::tuple<uint32_t, bool, uint64_t, bool>;

class RoundTrip : public ::testing::TestWithParam<Layout> {
 protected:
  TempFolder folder;
  std::u16string path;
  std::vector<TestEntry> entries = SampleEntries();
  uint32_t volumes = 0;

  void SetUp() override {
    auto [method, enciphered, limit, executable] = GetParam();
    PackageWriterOptions options = TestOptions(method);
    options.volume_limit = limit;
    if (enciphered) {
      options.password = kPassword;
      options.password_length = sizeof kPassword - 1;
    }
    std::u16string exe = folder.Path("stub.exe");
    if (executable) {
      WriteBytes(exe, FakeExecutable(false, nullptr, 0x5000));
      options.executable = exe.c_str();
    }
    path = folder.Path(executable ? "Setup.exe" : "Disk0001.kez");
    ASSERT_EQ(WritePackage(path, options, entries, &volumes), 0u);
  }
};

TEST_P(RoundTrip, EveryEntryComesBackInOrder) {
  Reader reader;
  char16_t opened[kPackagePathCapacity];
  ASSERT_EQ(PackageOpen(reader, path.c_str(), nullptr, 0, kVerifyAlways, opened, opened + kPackagePathCapacity - 1), 0u);
  EXPECT_EQ(std::u16string(opened), path);
  uint64_t reported = 0;
  reader->host = &reported;
  reader->read_progress = [](PackageReader* r, uint32_t code, uint32_t low, uint32_t) -> uint32_t {
    EXPECT_EQ(code, kReadProgressBytes);
    *static_cast<uint64_t*>(r->host) += low;
    return 0;
  };
  uint64_t total = 0;
  for (const TestEntry& want : entries) {
    PackageEntryHeader header;
    ASSERT_EQ(PackageNextEntry(reader, &header), 0u);
    ExpectHeader(header, want.header);
    Bytes data(want.data.size());
    if (!data.empty()) {
      ASSERT_EQ(PackageReadData(reader, data.data(), uint32_t(data.size())), 0u);
    }
    EXPECT_TRUE(data == want.data) << "entry " << std::hex << want.header.id;
    total += data.size();
  }
  PackageEntryHeader after;
  EXPECT_EQ(PackageNextEntry(reader, &after), uint32_t(ERROR_HANDLE_EOF));
  EXPECT_EQ(reported, 0u);  // PackageReadData reads for the caller, without progress
  EXPECT_EQ(reader->header.index, volumes);
  EXPECT_EQ(PackageClose(reader), 0u);
  EXPECT_GT(total, 0u);
}

TEST_P(RoundTrip, SkippingReportsProgressAndFindsEntries) {
  Reader reader;
  ASSERT_EQ(PackageOpen(reader, path.c_str(), nullptr, 0, kVerifyAlways, nullptr, nullptr), 0u);
  uint64_t reported = 0;
  reader->host = &reported;
  reader->read_progress = [](PackageReader* r, uint32_t, uint32_t low, uint32_t) -> uint32_t {
    *static_cast<uint64_t*>(r->host) += low;
    return 0;
  };
  PackageEntryHeader header;
  ASSERT_EQ(PackageFindEntry(reader, &header, 0x300), 0u);
  EXPECT_EQ(reported, entries[0].data.size() + entries[2].data.size());
  // An entry behind the current position is not found: the reader never goes back.
  ASSERT_EQ(PackageSkipEntry(reader, &header), 0u);
  EXPECT_EQ(PackageFindEntry(reader, &header, 0x200), uint32_t(ERROR_HANDLE_EOF));
  ASSERT_EQ(PackageClose(reader), 0u);
  ASSERT_EQ(PackageOpen(reader, path.c_str(), nullptr, 0, 0, nullptr, nullptr), 0u);
  ASSERT_EQ(PackageFindEntry(reader, &header, 0x200), 0u);
  Bytes data(size_t(header.size));
  ASSERT_EQ(PackageReadData(reader, data.data(), uint32_t(data.size())), 0u);
  EXPECT_TRUE(data == entries[2].data);
}

TEST_P(RoundTrip, ExtractedFilesHoldTheDataAndTheLastWriteTime) {
  Reader reader;
  ASSERT_EQ(PackageOpen(reader, path.c_str(), nullptr, 0, kVerifyAlways, nullptr, nullptr), 0u);
  for (const TestEntry& want : entries) {
    PackageEntryHeader header;
    ASSERT_EQ(PackageNextEntry(reader, &header), 0u);
    std::u16string target = folder.Path("out.bin");
    ASSERT_EQ(PackageExtractEntry(reader, &header, target.c_str()), 0u);
    EXPECT_TRUE(ReadBytes(target) == want.data);
    FileFacts facts;
    ASSERT_EQ(FileGetFacts(target.c_str(), &facts), 0u);
    EXPECT_EQ(facts.last_write_time, want.header.last_write_time);
    EXPECT_EQ(facts.attributes & kAttributeReadOnly, want.header.attributes & kAttributeReadOnly);
  }
}

std::string LayoutName(const ::testing::TestParamInfo<Layout>& info) {
  auto [method, enciphered, limit, executable] = info.param;
  std::string name = method == kPackageMethodZlib ? "Zlib" : method == kPackageMethodLzma ? "Lzma" : "Lzma2";
  name += enciphered ? "Enciphered" : "Plain";
  name += limit ? "Volumes" : "OneVolume";
  name += executable ? "InExecutable" : "StandAlone";
  return name;
}

INSTANTIATE_TEST_SUITE_P(Package, RoundTrip,
                         ::testing::Combine(::testing::Values(kPackageMethodZlib, kPackageMethodLzma, kPackageMethodLzma2),
                                            ::testing::Bool(), ::testing::Values(uint64_t(0), uint64_t(40000)),
                                            ::testing::Bool()),
                         LayoutName);

}  // namespace

namespace {

TEST(PackageNames, VolumesAfterTheFirstAreNamedByIndexBesideThePrevious) {
  struct Case {
    const char16_t* previous;
    uint32_t index;
    const char16_t* expected;
  };
  const Case kCases[] = {
      {u"C:\\Program Files\\Setup.exe", 1, u"C:\\Program Files\\Disk0002.kez"},
      {u"D:\\set\\Disk0002.kez", 2, u"D:\\set\\Disk0003.kez"},
      {u"/tmp/x/first.kez", 9998, u"/tmp/x/Disk9999.kez"},
      {u"Setup.exe", 0, u"Disk0001.kez"},
  };
  for (const Case& c : kCases) {
    char16_t path[kPackagePathCapacity];
    PackageVolumePathBeside(c.previous, c.index, path, path + kPackagePathCapacity - 1);
    EXPECT_EQ(std::u16string(path), std::u16string(c.expected));
  }
}

TEST(PackageVerifyMode, FromTheVerificationOption) {
  EXPECT_EQ(PackageVerifyModeFromOption(0), 0u);
  EXPECT_EQ(PackageVerifyModeFromOption(2), uint32_t(kVerifyAlways));
  for (int32_t option : {-1, 1, 3, 100}) EXPECT_EQ(PackageVerifyModeFromOption(option), uint32_t(kVerifyUnlessReadOnly));
}

}  // namespace
