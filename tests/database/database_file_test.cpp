#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "database/class_table.h"
#include "database/database_samples.h"
#include "database/field_string.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "tests/database/database_test_support.h"

namespace {

uint32_t U32At(const Bytes& bytes, size_t offset) {
  uint32_t value;
  memcpy(&value, bytes.data() + offset, 4);
  return value;
}

Bytes FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes WithoutSaveTime(Bytes bytes) {
  std::fill(bytes.begin() + kHeaderSaveTime, bytes.begin() + kHeaderSaveTime + 8, 0);
  return bytes;
}

}  // namespace

class DatabaseFileTest : public DatabaseTest {};

TEST_F(DatabaseFileTest, EveryClassSurvivesSaveLoadSave) {
  ObjectTable* table = SampleEveryClass(2);
  ASSERT_EQ(table->object_count, 2 * kSetupClassCount);
  Bytes first = SaveBytes(table, 0x01D0000000000001ull);
  ObjectTableDestroy(table);

  ObjectTable* loaded = nullptr;
  ASSERT_EQ(ReadBytes(first, &loaded, 0xDEADBEEF), 0u);
  EXPECT_EQ(loaded->object_count, 2 * kSetupClassCount);
  Bytes second = SaveBytes(loaded, 0x01D0000000000002ull);
  ObjectTableDestroy(loaded);

  EXPECT_NE(first, second);  // the save time differs
  EXPECT_EQ(WithoutSaveTime(first), WithoutSaveTime(second));
  EXPECT_EQ(U32At(first, kHeaderObjectCount), 2 * kSetupClassCount);
  EXPECT_EQ(U32At(first, kHeaderSupportFiles), 3u);
  const Bytes end = {'E', 'o', 'F', '!', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(std::equal(end.begin(), end.end(), first.end() - 16));
}

TEST_F(DatabaseFileTest, SavesInIdOrderWhateverTheSeed) {
  Bytes saved[2];
  const uint32_t seeds[2] = {0, 0x9E3779B9};
  for (int i = 0; i < 2; ++i) {
    ObjectTable* table = ObjectTableCreate(seeds[i]);
    for (uint64_t id : {900ull, 5ull, 77ull, 0x100000000ull, 6ull}) ObjectTableInsert(table, ObjectCreate(table, Tag("a100"), id));
    saved[i] = SaveBytes(table);
    ObjectTableDestroy(table);
  }
  EXPECT_EQ(saved[0], saved[1]);
  // a100 records carry the action base's fields; read the ids back through a load instead.
  ObjectTable* loaded = nullptr;
  ASSERT_EQ(ReadBytes(saved[0], &loaded), 0u);
  SetupObject** sorted = ObjectTableSortedById(loaded);
  std::vector<uint64_t> ids;
  for (uint32_t i = 0; i < loaded->object_count; ++i) ids.push_back(ObjectId(sorted[i]));
  MemFree(sorted);
  ObjectTableDestroy(loaded);
  EXPECT_EQ(ids, (std::vector<uint64_t>{5, 6, 77, 900, 0x100000000ull}));
  EXPECT_EQ(U32At(saved[0], kDatabaseHeaderSize + 8), 5u);  // the first record is id 5
}

TEST_F(DatabaseFileTest, TheWinnerOfADuplicateIdStaysTheSameAcrossSaves) {
  ObjectTable* table = BuilderCreateTable();
  BuilderSetText(BuilderAddObject(table, Tag("stof"), 7), 8, u"first");
  BuilderSetText(BuilderAddObject(table, Tag("stof"), 7), 8, u"second");
  Bytes bytes = SaveBytes(table);
  ObjectTableDestroy(table);
  for (uint32_t seed : {0u, 1u, 0xFFFFFFFFu}) {
    for (int round = 0; round < 3; ++round) {
      ObjectTable* loaded = nullptr;
      ASSERT_EQ(ReadBytes(bytes, &loaded, seed), 0u);
      EXPECT_EQ(std::u16string(SlotText(ObjectTableFind(loaded, 0, 7), 8)), u"second") << seed << " " << round;
      bytes = SaveBytes(loaded);
      ObjectTableDestroy(loaded);
    }
  }
}

TEST_F(DatabaseFileTest, HeaderRulesOnLoad) {
  ObjectTable* table = nullptr;
  Bytes good = HeaderBytes();
  AppendEnd(&good);
  EXPECT_EQ(ReadBytes(good, &table), 0u);
  EXPECT_EQ(table->object_count, 0u);
  ObjectTableDestroy(table);

  struct Case {
    size_t offset;
    uint32_t value;
    uint32_t error;
  } cases[] = {
      {0, 0x3873656B, ERROR_BAD_FORMAT},  // "kes8"
      {4, 0x00090004, ERROR_BAD_FORMAT},  // too old
      {4, 0x000A0000, ERROR_SUCCESS},     // newer versions are read
      {8, 0x12345678, ERROR_SUCCESS},     // not tested
      {12, 0, ERROR_SUCCESS},             // not tested
  };
  for (const Case& c : cases) {
    Bytes bytes = good;
    memcpy(bytes.data() + c.offset, &c.value, 4);
    table = reinterpret_cast<ObjectTable*>(1);
    EXPECT_EQ(ReadBytes(bytes, &table), c.error) << c.offset;
    if (c.error) {
      EXPECT_EQ(table, nullptr);
    }
    ObjectTableDestroy(table);
  }
  EXPECT_EQ(ReadBytes(Bytes(good.begin(), good.begin() + 100), &table), uint32_t(ERROR_HANDLE_EOF));
  EXPECT_EQ(ReadBytes(Bytes(good.begin(), good.begin() + kDatabaseHeaderSize), &table), uint32_t(ERROR_HANDLE_EOF));
}

TEST_F(DatabaseFileTest, AnyTagEndingInBangEndsTheDatabase) {
  Bytes bytes = HeaderBytes();
  AppendRecord(&bytes, "stof", 0x55, 1);
  AppendU32(&bytes, 1);
  bytes.push_back('n');
  AppendU32(&bytes, 0);
  AppendRecord(&bytes, "zz?!", 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull);
  bytes.insert(bytes.end(), {'g', 'a', 'r', 'b', 'a', 'g', 'e'});
  ObjectTable* table = nullptr;
  ASSERT_EQ(ReadBytes(bytes, &table), 0u);
  ASSERT_EQ(table->object_count, 1u);
  SetupObject* support = ObjectTableFind(table, Tag("stof"), 1);
  ASSERT_NE(support, nullptr);
  EXPECT_EQ(ObjectFlags(support), 0x55u);
  EXPECT_EQ(std::u16string(SlotText(support, 8)), u"n");
  EXPECT_EQ(std::u16string(SlotText(support, 9)), u"");  // n = 0 gives an empty text, not none
  ObjectTableDestroy(table);
}

TEST_F(DatabaseFileTest, BadRecordsAreDesignedErrors) {
  struct Case {
    const char* name;
    Bytes tail;
    uint32_t error;
  } cases[] = {
      {"unknown tag", {'z', 'z', 'z', 'z', 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, ERROR_UNSUPPORTED_TYPE},
      {"no end record", {}, ERROR_HANDLE_EOF},
      {"record cut short", {'s', 't', 'o', 'f', 0, 0}, ERROR_HANDLE_EOF},
      // pres: an id list whose count the stream cannot hold.
      {"absurd count", {'p', 'r', 'e', 's', 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}, ERROR_HANDLE_EOF},
      // stof: a text whose length the stream cannot hold.
      {"absurd length", {'s', 't', 'o', 'f', 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, ERROR_HANDLE_EOF},
  };
  for (const Case& c : cases) {
    Bytes bytes = HeaderBytes();
    bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
    ObjectTable* table = nullptr;
    EXPECT_EQ(ReadBytes(bytes, &table), c.error) << c.name;
    EXPECT_EQ(table, nullptr) << c.name;
  }
}

TEST_F(DatabaseFileTest, ACutAtAnyByteFailsWithTheStreamsError) {
  ObjectTable* table = SampleEveryClass(1);
  Bytes bytes = SaveBytes(table);
  ObjectTableDestroy(table);
  for (size_t cut = 0; cut + 16 < bytes.size(); ++cut) {
    ObjectTable* partial = nullptr;
    ASSERT_EQ(ReadBytes(Bytes(bytes.begin(), bytes.begin() + cut), &partial), uint32_t(ERROR_HANDLE_EOF)) << cut;
  }
}

TEST_F(DatabaseFileTest, SavingReplacesOnlyTheWrittenHeaderFields) {
  ObjectTable* table = BuilderCreateTable();
  memset(table->header, 0xAB, sizeof table->header);
  BuilderAddObject(table, Tag("a100"), 1);
  Bytes bytes = SaveBytes(table, 0x0102030405060708ull);
  EXPECT_EQ(U32At(bytes, 0), kDatabaseMagic);
  EXPECT_EQ(U32At(bytes, 4), kDatabaseVersion);
  EXPECT_EQ(U32At(bytes, 8), kDatabaseStamp);
  EXPECT_EQ(U32At(bytes, 12), kDatabaseRuntimeVersion);
  EXPECT_EQ(U32At(bytes, 40), 0x05060708u);
  EXPECT_EQ(U32At(bytes, 44), 0x01020304u);
  EXPECT_EQ(U32At(bytes, 64), 1u);
  for (size_t offset = 16; offset < kDatabaseHeaderSize; ++offset) {
    bool replaced = (offset >= 40 && offset < 48) || (offset >= 64 && offset < 68);
    if (!replaced) {
      ASSERT_EQ(bytes[offset], 0xAB) << offset;
    }
  }
  ObjectTableDestroy(table);

  ObjectTable noBuckets{};
  BufferedFile out{};
  BufferedCreateMemory(&out);
  EXPECT_EQ(DatabaseSave(&noBuckets, &out), uint32_t(ERROR_INVALID_HANDLE_STATE));
  BufferedClose(&out);
}

TEST_F(DatabaseFileTest, SurrogatePairsRoundTripAsSixBytes) {
  ObjectTable* table = BuilderCreateTable();
  BuilderSetText(BuilderAddObject(table, Tag("stof"), 1), 8, u"\U0001F600");
  Bytes bytes = SaveBytes(table);
  ObjectTableDestroy(table);
  const size_t text = kDatabaseHeaderSize + 16;
  EXPECT_EQ(U32At(bytes, text), 6u);
  ObjectTable* loaded = nullptr;
  ASSERT_EQ(ReadBytes(bytes, &loaded), 0u);
  EXPECT_EQ(std::u16string(SlotText(ObjectTableFind(loaded, 0, 1), 8)), u"\xD83D\xDE00");
  ObjectTableDestroy(loaded);
}

TEST_F(DatabaseFileTest, TheRunsCopyIsSavedReadOnlyAndCanBeSavedAgain) {
  std::string name = ::testing::TempDir() + "database_file_test.dat";
  std::u16string path = TextFromUtf8(name);
  ObjectTable* table = SampleEveryClass(1);
  ASSERT_EQ(DatabaseSaveFile(table, path.c_str()), 0u);
  uint32_t attributes = 0;
  ASSERT_EQ(FileGetAttributes(path.c_str(), &attributes), 0u);
  EXPECT_TRUE(attributes & kAttributeReadOnly);
  EXPECT_EQ(DatabaseSaveFile(table, path.c_str()), 0u);

  BufferedFile in{};
  ASSERT_EQ(BufferedOpenRead(&in, path.c_str(), kFileShareRead), 0u);
  ObjectTable* loaded = nullptr;
  EXPECT_EQ(DatabaseRead(&in, 0, &loaded), 0u);
  BufferedClose(&in);
  EXPECT_EQ(loaded->object_count, table->object_count);
  ObjectTableDestroy(loaded);
  ObjectTableDestroy(table);
  FileSetAttributes(path.c_str(), kAttributeNormal);
  FileDelete(path.c_str());
}

TEST_F(DatabaseFileTest, AFailedSaveLeavesThePreviousCopyAsItWas) {
  std::string name = ::testing::TempDir() + "database_file_failed_save.dat";
  std::u16string path = TextFromUtf8(name);
  ObjectTable* first = SampleEveryClass(1);
  ASSERT_EQ(DatabaseSaveFile(first, path.c_str()), 0u);
  Bytes before = FileBytes(name);
  // The new copy cannot be written where a folder of its name stands.
  std::filesystem::create_directory(name + ".new");
  ObjectTable* second = BuilderCreateTable();
  BuilderAddObject(second, Tag("stof"), 7);
  EXPECT_NE(DatabaseSaveFile(second, path.c_str()), 0u);
  EXPECT_EQ(FileBytes(name), before);
  uint32_t attributes = 0;
  ASSERT_EQ(FileGetAttributes(path.c_str(), &attributes), 0u);
  EXPECT_TRUE(attributes & kAttributeReadOnly) << "the previous copy keeps its attributes";
  std::filesystem::remove(name + ".new");

  ASSERT_EQ(DatabaseSaveFile(second, path.c_str()), 0u);
  EXPECT_NE(FileBytes(name), before);
  EXPECT_FALSE(std::filesystem::exists(name + ".new"));
  ObjectTableDestroy(first);
  ObjectTableDestroy(second);
  FileSetAttributes(path.c_str(), kAttributeNormal);
  FileDelete(path.c_str());
}
