// Every failure of the reader, each produced from a package that the test builds with the writer
// and then damages.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "package/package_classify.h"
#include "package/package_reader.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "tests/package/package_test_support.h"

namespace {

const uint8_t kPassword[] = "open sesame";

std::vector<TestEntry> SmallEntries() {
  return {MakeEntry(kEntryIdDatabase, TestData(5000, 21, true)), MakeEntry(0x42, TestData(30000, 22, false))};
}

// What a test's callbacks saw.
struct Log {
  std::vector<uint32_t> attempts;
  std::vector<uint32_t> flags;
  std::vector<uint32_t> last_errors;
  std::vector<std::u16string> offers;  // paths the provider offers, in order; then it stops
  std::vector<uint32_t> verify_codes;
  uint32_t stop_verify_at = 0;          // the progress call (1-based) that stops the pass
  uint32_t password_error = ERROR_INVALID_PASSWORD;
  bool right_on_attempt_1 = false;
};

uint32_t Password(PackageReader* reader, uint32_t attempt, uint8_t* buffer, uint32_t* length) {
  auto* log = static_cast<Log*>(reader->host);
  log->attempts.push_back(attempt);
  log->flags.push_back(reader->header.flags);
  bool right = attempt == 0 ? !log->right_on_attempt_1 : attempt == 1 && log->right_on_attempt_1;
  if (attempt > 1) return log->password_error;
  const char* text = right ? reinterpret_cast<const char*>(kPassword) : "wrong";
  *length = uint32_t(strlen(text));
  memcpy(buffer, text, *length);
  return attempt == 1 && !right ? log->password_error : 0;
}

bool NextVolume(PackageReader* reader, uint32_t index, uint32_t last_error, char16_t* path) {
  auto* log = static_cast<Log*>(reader->host);
  log->last_errors.push_back(last_error);
  if (!log->offers.empty()) {
    std::u16string next = log->offers.front();
    log->offers.erase(log->offers.begin());
    memcpy(path, next.c_str(), (next.size() + 1) * sizeof(char16_t));
    return true;
  }
  if (last_error) return false;
  PackageVolumePathBeside(reader->path, index, path, path + kPackagePathCapacity - 1);
  return true;
}

uint32_t VerifyProgress(uint32_t code, void* context, uint32_t, uint32_t) {
  auto* log = static_cast<Log*>(static_cast<PackageReader*>(context)->host);
  log->verify_codes.push_back(code);
  return log->stop_verify_at && log->verify_codes.size() == log->stop_verify_at ? 1 : 0;
}

class PackageErrors : public ::testing::Test {
 protected:
  TempFolder folder;
  Log log;
  PackageReader* reader = PackageReaderCreate();

  PackageErrors() {
    reader->host = &log;
    reader->password_provider = Password;
    reader->next_volume_provider = NextVolume;
    reader->verify_progress = VerifyProgress;
  }
  ~PackageErrors() override { PackageReaderDestroy(reader); }

  std::u16string Build(const std::string& name, uint32_t method, const std::function<void(PackageWriterOptions&)>& adjust = {},
                       const std::vector<TestEntry>& entries = SmallEntries()) {
    PackageWriterOptions options = TestOptions(method);
    if (adjust) adjust(options);
    std::u16string path = folder.Path(name);
    EXPECT_EQ(WritePackage(path, options, entries), 0u);
    return path;
  }

  uint32_t Open(const std::u16string& path, uint32_t mode = kVerifyAlways, const uint8_t* code = nullptr,
                uint64_t set = 0) {
    return PackageOpen(reader, path.c_str(), code, set, mode, nullptr, nullptr);
  }

  // Opens and reads every entry, then closes; the first error (0 when the stream ends after an
  // entry).
  uint32_t ReadAll(const std::u16string& path, uint32_t mode = kVerifyAlways) {
    uint32_t err = Open(path, mode);
    PackageEntryHeader header;
    while (!err) {
      if ((err = PackageNextEntry(reader, &header))) {
        if (err == ERROR_HANDLE_EOF) err = 0;
        break;
      }
      err = PackageSkipEntry(reader, &header);
    }
    PackageClose(reader);
    return err;
  }
};

TEST_F(PackageErrors, MissingArguments) {
  PackageEntryHeader header{};
  EXPECT_EQ(PackageOpen(nullptr, u"x", nullptr, 0, 0, nullptr, nullptr), 87u);
  EXPECT_EQ(PackageOpen(reader, nullptr, nullptr, 0, 0, nullptr, nullptr), 87u);
  EXPECT_EQ(PackageNextEntry(reader, nullptr), 87u);
  EXPECT_EQ(PackageSkipEntry(reader, nullptr), 87u);
  EXPECT_EQ(PackageExtractEntry(reader, &header, nullptr), 87u);
  EXPECT_EQ(PackageNextEntry(reader, &header), uint32_t(ERROR_INVALID_HANDLE)) << "nothing open";
}

TEST_F(PackageErrors, FilesThatHoldNoPackage) {
  std::u16string path = Build("a.kez", kPackageMethodLzma);
  EXPECT_EQ(Open(folder.Path("missing.kez")), 2u);

  std::u16string cut = folder.Path("cut.kez");
  Bytes bytes = ReadBytes(path);
  WriteBytes(cut, Bytes(bytes.begin(), bytes.begin() + 40));
  EXPECT_EQ(Open(cut), uint32_t(ERROR_HANDLE_EOF)) << "truncated header";

  std::u16string other = folder.Path("other.kez");
  bytes[16] = 'X';
  WriteBytes(other, bytes);
  EXPECT_EQ(Open(other), uint32_t(ERROR_BAD_FORMAT)) << "no method magic at offset 16";
  EXPECT_FALSE(PackageIsOpen(reader));
}

TEST_F(PackageErrors, ExecutableLocator) {
  std::u16string stub = folder.Path("stub.exe");
  WriteBytes(stub, FakeExecutable(false, nullptr, 0x4800));
  std::u16string exe = Build("Setup.exe", kPackageMethodZlib, [&](PackageWriterOptions& o) { o.executable = stub.c_str(); });
  ASSERT_EQ(ReadAll(exe), 0u);
  Bytes good = ReadBytes(exe);

  auto variant = [&](const std::function<void(Bytes&)>& change) {
    Bytes bytes = good;
    change(bytes);
    std::u16string path = folder.Path("variant.exe");
    WriteBytes(path, bytes);
    return Open(path);
  };
  auto locate = [](Bytes& b, uint32_t offset) {
    StoreLe32(b.data() + kPackageLocatorOffset + 12, offset);
    StoreLe32(b.data() + kLocatorChecksumOffset, PackageLocatorChecksum(b.data() + kPackageLocatorOffset));
  };
  EXPECT_EQ(variant([](Bytes& b) { b[kLocatorChecksumOffset] ^= 1; }), uint32_t(ERROR_BAD_FORMAT));
  EXPECT_EQ(variant([&](Bytes& b) { locate(b, 0x3FFF); }), uint32_t(ERROR_BAD_FORMAT));
  EXPECT_EQ(variant([&](Bytes& b) { locate(b, 0x10000001); }), uint32_t(ERROR_BAD_FORMAT));
  EXPECT_EQ(variant([&](Bytes& b) { locate(b, 0x4000); }), uint32_t(ERROR_INVALID_DATA)) << "no volume there";
  EXPECT_EQ(variant([](Bytes& b) { b[0x4800 + 16] = 'X'; }), uint32_t(ERROR_INVALID_DATA)) << "method magic";
  // The executable's own bytes are not under the volume's digest; bytes after the volume (a
  // signature) are never read.
  EXPECT_EQ(variant([](Bytes& b) { b[0x2000] ^= 0xFF; }), 0u);
  PackageClose(reader);
  Bytes signed_file = good;
  signed_file.resize(good.size() + 512, 0x5A);
  std::u16string path = folder.Path("signed.exe");
  WriteBytes(path, signed_file);
  EXPECT_EQ(ReadAll(path), 0u);
}

TEST_F(PackageErrors, HeaderFields) {
  std::u16string path = Build("a.kez", kPackageMethodLzma2);
  Bytes good = ReadBytes(path);
  struct Case {
    const char* name;
    uint32_t field, value;
    uint32_t mode;
    uint32_t error;
  };
  const Case kCases[] = {
      {"format version", 20, 0x000B0009, kVerifyAlways, ERROR_INVALID_DATA},
      {"length below 64", 32, 63, kVerifyAlways, ERROR_INVALID_DATA},
      {"length below 64, not verified", 32, 63, 0, ERROR_INVALID_DATA},
      {"index", 28, 1, kVerifyAlways, ERROR_INVALID_INDEX},
      {"check pair", 64, 0, kVerifyAlways, ERROR_INVALID_DATA},
  };
  for (const Case& c : kCases) {
    WriteBytes(path, good);
    if (c.field == 32) StoreLe32(good.data() + 36, 0);  // the length's high word stays 0
    PatchVolumeU32(path, 0, c.field, c.value);
    EXPECT_EQ(Open(path, c.mode), c.error) << c.name;
  }
}

TEST_F(PackageErrors, AChangedByteUnderTheDigest) {
  std::u16string path = Build("a.kez", kPackageMethodLzma);
  Bytes good = ReadBytes(path);
  for (size_t offset : {size_t(16 + 8 + 2), size_t(45), size_t(50), size_t(64), size_t(100), good.size() - 1}) {
    WriteBytes(path, good);
    DamageByte(path, offset, 0x04);
    EXPECT_EQ(Open(path), uint32_t(ERROR_CRC)) << "byte " << offset;
  }
  // Verify mode 0 opens it; mode 2 skips read-only files.
  EXPECT_EQ(Open(path, 0), 0u);
  EXPECT_EQ(Open(path, kVerifyUnlessReadOnly), uint32_t(ERROR_CRC));
  ASSERT_EQ(FileSetAttributes(path.c_str(), kAttributeReadOnly), 0u);
  EXPECT_EQ(Open(path, kVerifyUnlessReadOnly), 0u);
  EXPECT_EQ(Open(path, kVerifyAlways), uint32_t(ERROR_CRC));
  PackageClose(reader);
  FileSetAttributes(path.c_str(), kAttributeNormal);
}

TEST_F(PackageErrors, VerificationProgressAndCancel) {
  std::u16string path = Build("a.kez", kPackageMethodZlib);
  ASSERT_EQ(Open(path), 0u);
  ASSERT_GE(log.verify_codes.size(), 3u);
  EXPECT_EQ(log.verify_codes.front(), 1u);
  EXPECT_EQ(log.verify_codes[1], 2u);
  EXPECT_EQ(log.verify_codes.back(), 3u);
  for (uint32_t stop : {1u, 2u}) {
    log.verify_codes.clear();
    log.stop_verify_at = stop;
    EXPECT_EQ(Open(path), uint32_t(ERROR_CANCELLED));
    EXPECT_EQ(log.verify_codes.back(), 3u) << "the end is always reported";
  }
}

TEST_F(PackageErrors, RequiredPackageCodeAndSet) {
  std::u16string path = Build("a.kez", kPackageMethodLzma);
  PackageWriterOptions options = TestOptions(kPackageMethodLzma);
  uint8_t other[16] = {1};
  EXPECT_EQ(Open(path, kVerifyAlways, options.package_code, options.set_identifier), 0u);
  EXPECT_EQ(Open(path, kVerifyAlways, other, 0), uint32_t(ERROR_INVALID_TARGET_HANDLE));
  EXPECT_EQ(Open(path, kVerifyAlways, nullptr, options.set_identifier + 1), uint32_t(ERROR_INVALID_TARGET_HANDLE));
  uint8_t zero[16] = {};
  EXPECT_EQ(Open(path, kVerifyAlways, zero, 0), 0u) << "an all-zero code asks for none";
}

TEST_F(PackageErrors, Passwords) {
  auto enciphered = [](PackageWriterOptions& o) {
    o.password = kPassword;
    o.password_length = sizeof kPassword - 1;
    o.mask_password = true;
  };
  std::u16string path = Build("a.kez", kPackageMethodLzma2, enciphered);
  ASSERT_EQ(ReadAll(path), 0u);
  EXPECT_EQ(log.attempts, std::vector<uint32_t>{0});
  EXPECT_EQ(log.flags, std::vector<uint32_t>{kVolumeEnciphered | kVolumeMaskPassword});

  log = Log();
  log.right_on_attempt_1 = true;
  ASSERT_EQ(ReadAll(path), 0u) << "right on the second attempt";
  EXPECT_EQ(log.attempts, (std::vector<uint32_t>{0, 1}));

  log = Log();
  EXPECT_EQ(Open(path), 0u);
  log = Log();
  log.right_on_attempt_1 = true;
  log.password_error = ERROR_INVALID_PASSWORD;
  reader->password_provider = [](PackageReader* r, uint32_t attempt, uint8_t* buffer, uint32_t* length) -> uint32_t {
    static_cast<Log*>(r->host)->attempts.push_back(attempt);
    if (attempt > 0) return ERROR_INVALID_PASSWORD;
    *length = 5;
    memcpy(buffer, "wrong", 5);
    return 0;
  };
  EXPECT_EQ(Open(path), uint32_t(ERROR_INVALID_PASSWORD));
  EXPECT_EQ(log.attempts, (std::vector<uint32_t>{0, 1}));
  reader->password_provider = [](PackageReader*, uint32_t, uint8_t*, uint32_t*) -> uint32_t { return ERROR_CANCELLED; };
  EXPECT_EQ(Open(path), uint32_t(ERROR_CANCELLED));
  reader->password_provider = [](PackageReader*, uint32_t, uint8_t*, uint32_t* length) -> uint32_t {
    *length = 0;
    return 0;
  };
  EXPECT_EQ(Open(path), uint32_t(ERROR_INVALID_PASSWORD)) << "an empty password cannot be a key";
  reader->password_provider = nullptr;
  EXPECT_EQ(Open(path), uint32_t(ERROR_FILE_ENCRYPTED));
  EXPECT_FALSE(PackageIsOpen(reader));
}

TEST_F(PackageErrors, NoDecoder) {
  std::u16string path = Build("a.kez", kPackageMethodZlib);
  PatchVolumeU32(path, 0, 72, 0x12345678);  // the zlib header after the check pair
  EXPECT_EQ(Open(path), uint32_t(ERROR_UNSUPPORTED_COMPRESSION));
  EXPECT_FALSE(PackageIsOpen(reader));
  path = Build("b.kez", kPackageMethodLzma2);
  PatchVolumeU32(path, 0, 72, 0x12345600 | 41);
  EXPECT_EQ(Open(path), uint32_t(ERROR_UNSUPPORTED_COMPRESSION));
}

TEST_F(PackageErrors, DamagedStreams) {
  struct Case {
    const char* name;
    uint32_t method;
    uint64_t offset;  // in the volume; ~0 = its last byte
    uint8_t value;
    uint32_t error;
  };
  const Case kCases[] = {
      {"zlib: deflate block of type 3", kPackageMethodZlib, 74, 0xFF, ERROR_READ_FAULT},
      {"zlib: Adler-32 trailer", kPackageMethodZlib, ~0ull, 0x00, ERROR_READ_FAULT},
      {"LZMA: range coder start", kPackageMethodLzma, 77, 0x80, ERROR_INVALID_DATA},
      {"LZMA2: chunk without dictionary reset", kPackageMethodLzma2, 73, 0x02, ERROR_INVALID_DATA},
  };
  for (const Case& c : kCases) {
    std::u16string path = Build("damaged.kez", c.method);
    Bytes bytes = ReadBytes(path);
    size_t at = c.offset == ~0ull ? bytes.size() - 1 : size_t(c.offset);
    bytes[at] = c.offset == ~0ull ? uint8_t(bytes[at] ^ 1) : c.value;
    WriteBytes(path, bytes);
    RewriteDigest(path, 0);
    EXPECT_EQ(ReadAll(path), c.error) << c.name;
  }
}

TEST_F(PackageErrors, BrokenEntries) {
  for (uint32_t method : {kPackageMethodZlib, kPackageMethodLzma, kPackageMethodLzma2}) {
    PackageEntryHeader header = MakeEntry(7, Bytes(100)).header;
    uint8_t bytes[64];
    PackageEntryHeaderEncode(&header, bytes);
    StoreLe32(bytes, kPackageEntryMagic);
    Bytes half(50, 0x33);
    for (bool bad_magic : {false, true}) {
      if (bad_magic) StoreLe32(bytes, PackageMagic("kzf4"));
      PackageWriter* writer;
      PackageWriterOptions options = TestOptions(method);
      std::u16string path = folder.Path("entries.kez");
      ASSERT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), 0u);
      ASSERT_EQ(PackageWriterWriteStream(writer, bytes, 64), 0u);
      ASSERT_EQ(PackageWriterWriteStream(writer, half.data(), half.size()), 0u);
      ASSERT_EQ(PackageWriterFinish(writer, 0, nullptr), 0u);
      // The stream ends inside the entry's data; an entry magic other than "kzf3" is refused.
      EXPECT_EQ(ReadAll(path), uint32_t(bad_magic ? ERROR_INVALID_DATA : ERROR_HANDLE_EOF)) << std::hex << method;
    }
  }
}

class VolumeSets : public PackageErrors {
 protected:
  std::u16string first;
  void SetUp() override {
    first = Build("Disk0001.kez", kPackageMethodLzma, [](PackageWriterOptions& o) { o.volume_limit = 10000; });
    ASSERT_TRUE(Exists(folder.Path("Disk0003.kez")));
  }
  // A volume 2 taken from another set, written in a folder of its own.
  void ReplaceSecondVolume(uint32_t method, const std::function<void(PackageWriterOptions&)>& adjust) {
    std::filesystem::create_directories(folder.Root() / "other");
    Build("other/Disk0001.kez", method, [&](PackageWriterOptions& o) {
      o.volume_limit = 10000;
      adjust(o);
    });
    WriteBytes(folder.Path("Disk0002.kez"), ReadBytes(folder.Path("other/Disk0002.kez")));
  }
};

TEST_F(VolumeSets, EveryVolumeMustBelongToTheSet) {
  ASSERT_EQ(ReadAll(first), 0u);
  ReplaceSecondVolume(kPackageMethodLzma, [](PackageWriterOptions& o) { o.package_code[3] ^= 1; });
  log = Log();
  EXPECT_EQ(ReadAll(first), uint32_t(ERROR_INVALID_TARGET_HANDLE));
  EXPECT_EQ(log.last_errors, (std::vector<uint32_t>{0, ERROR_INVALID_TARGET_HANDLE})) << "offered once, then asked again";
  ReplaceSecondVolume(kPackageMethodLzma, [](PackageWriterOptions& o) { o.set_identifier = 5; });
  EXPECT_EQ(ReadAll(first), uint32_t(ERROR_INVALID_TARGET_HANDLE));
  ReplaceSecondVolume(kPackageMethodLzma2, [](PackageWriterOptions&) {});
  EXPECT_EQ(ReadAll(first), uint32_t(ERROR_UNSUPPORTED_COMPRESSION));
}

TEST_F(VolumeSets, IndexAndMissingVolumes) {
  WriteBytes(folder.Path("Disk0002.kez"), ReadBytes(folder.Path("Disk0003.kez")));
  EXPECT_EQ(ReadAll(first), uint32_t(ERROR_INVALID_INDEX));
  FileDelete(folder.Path("Disk0002.kez").c_str());
  EXPECT_EQ(ReadAll(first), uint32_t(ERROR_FILE_NOT_FOUND));
  reader->next_volume_provider = nullptr;
  EXPECT_EQ(ReadAll(first), uint32_t(ERROR_NO_MORE_FILES));
}

TEST_F(VolumeSets, TheProviderMayOfferAnotherFileAfterAFailure) {
  std::filesystem::create_directories(folder.Root() / "moved");
  std::filesystem::rename(folder.Root() / "Disk0002.kez", folder.Root() / "moved" / "volume two.kez");
  log.offers = {folder.Path("Disk0002.kez"), folder.Path("moved/volume two.kez"), folder.Path("Disk0003.kez")};
  EXPECT_EQ(ReadAll(first), 0u);
  ASSERT_GE(log.last_errors.size(), 3u);
  EXPECT_EQ(std::vector<uint32_t>(log.last_errors.begin(), log.last_errors.begin() + 3),
            (std::vector<uint32_t>{0, ERROR_FILE_NOT_FOUND, 0}));
}

TEST_F(VolumeSets, AFirstVolumeThatFailsIsOfferedAgainWithIndex0) {
  log.offers = {first};
  char16_t opened[kPackagePathCapacity];
  EXPECT_EQ(PackageOpen(reader, folder.Path("nowhere.kez").c_str(), nullptr, 0, kVerifyAlways, opened,
                        opened + kPackagePathCapacity - 1),
            0u);
  EXPECT_EQ(std::u16string(opened), first);
  EXPECT_EQ(log.last_errors, std::vector<uint32_t>{ERROR_FILE_NOT_FOUND});
}

TEST_F(VolumeSets, APasswordForEveryVolume) {
  first = Build("Disk0001.kez", kPackageMethodZlib, [](PackageWriterOptions& o) {
    o.volume_limit = 8000;
    o.password = kPassword;
    o.password_length = sizeof kPassword - 1;
  });
  ASSERT_EQ(ReadAll(first), 0u);
  EXPECT_GE(log.attempts.size(), 3u);
  for (uint32_t attempt : log.attempts) EXPECT_EQ(attempt, 0u);
}

}  // namespace
