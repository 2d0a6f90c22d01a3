#include <gtest/gtest.h>

#include <string>

#include "database/database_samples.h"
#include "database/localized_text.h"
#include "tests/database/database_test_support.h"
#include "tools/kez/database_json.h"

using nlohmann::json;

class DatabaseJsonTest : public DatabaseTest {
 protected:
  // JSON text to a table, or null with the error in error_.
  ObjectTable* FromText(const std::string& text) {
    uint64_t save_time = 0;
    return DatabaseFromJson(json::parse(text), &save_time, &error_);
  }
  std::string error_;
};

TEST_F(DatabaseJsonTest, DumpThenUndumpReproducesTheFile) {
  ObjectTable* table = SampleEveryClass(1);
  BuilderSetText(BuilderAddObject(table, Tag("stof"), 0xFFFFFFFFFFFFFFFFull), 8, u"lone \xD800 surrogate");
  memset(table->header + kHeaderReserved68, 0x5A, 128);
  table->header[kHeaderReserved32] = 1;
  Bytes original = SaveBytes(table, 0x01D9ABCDEF012345ull);
  ObjectTableDestroy(table);

  ObjectTable* loaded = nullptr;
  ASSERT_EQ(ReadBytes(original, &loaded), 0u);
  std::string text = DatabaseJsonText(DatabaseToJson(loaded));
  ObjectTableDestroy(loaded);

  uint64_t save_time = 0;
  ObjectTable* rebuilt = DatabaseFromJson(json::parse(text), &save_time, &error_);
  ASSERT_NE(rebuilt, nullptr) << error_;
  EXPECT_EQ(save_time, 0x01D9ABCDEF012345ull);
  EXPECT_EQ(SaveBytes(rebuilt, save_time), original);
  ObjectTableDestroy(rebuilt);
}

TEST_F(DatabaseJsonTest, HandWrittenShortFormsAreAccepted) {
  ObjectTable* table = FromText(R"({
    "header": {"package_code": "{01234567-89AB-CDEF-0011-223344556677}", "support_files": 2},
    "objects": [
      {"tag": "inst", "id": 1, "fields": {"8": "0x10", "23": ["0x20", 33], "26": "0x00010002"}},
      {"tag": "symb", "id": "0x10", "flags": 16,
       "fields": {"16": "ProductName", "10": "Example", "13": {"default": "x", "pairs": [{"language": "0x0407", "text": "y"}]}}},
      {"tag": "c010", "id": 5, "fields": {"14": {"type": "int", "value": -3}}}
    ]})");
  ASSERT_NE(table, nullptr) << error_;
  EXPECT_EQ(table->header[kHeaderPackageCode], 0x67);
  EXPECT_EQ(table->header[kHeaderPackageCode + 4], 0xAB);
  EXPECT_EQ(table->header[kHeaderPackageCode + 8], 0x00);
  EXPECT_EQ(table->header[kHeaderPackageCode + 15], 0x77);
  EXPECT_EQ(DatabaseHeaderU32(table, kHeaderSupportFiles), 2u);
  SetupObject* inst = ObjectTableFind(table, Tag("inst"), 1);
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(SlotU64(inst, 8), 0x10u);
  EXPECT_EQ(SlotView<U64Array>(inst, 23)->count, 2u);
  EXPECT_EQ(SlotView<U64Array>(inst, 23)->items[1], 33u);
  EXPECT_EQ(SlotU32(inst, 26), 0x10002u);
  SetupObject* symb = ObjectTableFind(table, Tag("symb"), 0x10);
  EXPECT_EQ(ObjectFlags(symb), 16u);
  EXPECT_EQ(std::u16string(SlotText(symb, 16)), u"ProductName");
  EXPECT_EQ(std::u16string(LocalizedTextFor(SlotLocalized(symb, 10), 0x0409)), u"Example");
  EXPECT_EQ(std::u16string(LocalizedTextFor(SlotLocalized(symb, 13), 0x0407)), u"y");
  EXPECT_EQ(SlotInt(ObjectTableFind(table, 0, 5), 14), -3);
  ObjectTableDestroy(table);
}

TEST_F(DatabaseJsonTest, MistakesAreNamed) {
  struct Case {
    const char* json;
    const char* message;
  } cases[] = {
      {R"({"objects": [{"tag": "zzzz", "id": 1}]})", "object 0: no class has the tag \"zzzz\""},
      {R"({"objects": [{"tag": "fldr", "id": 1}, {"tag": "fldr", "id": 2, "fields": {"17": 1}}]})",
       "object 1: slot 17 is no stored field of fldr"},
      {R"({"objects": [{"tag": "fldr", "id": 1, "fields": {"21": {"type": "text", "value": "x"}}}]})",
       "object 0: slot 21 of fldr is of type u32"},
      {R"({"objects": [{"tag": "fldr", "id": 1, "fields": {"21": "0x1FFFFFFFF"}}]})", "object 0: slot 21: number out of range"},
      {R"({"objects": [{"tag": "fldr", "id": -1}]})", "object 0: number out of range"},
      {R"({"objects": [{"tag": "file", "id": 1, "fields": {"44": "ABC"}}]})", "object 0: slot 44: hex text of odd length"},
      {R"({"header": {"package_code": "nope"}})", "header: package_code is a GUID"},
      {R"({"header": {"reserved_32": "00"}})", "header: reserved_32 holds 8 bytes"},
      {R"([1, 2])", "a database is an object"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FromText(c.json), nullptr) << c.json;
    EXPECT_EQ(error_.rfind(c.message, 0), 0u) << error_;
  }
}
