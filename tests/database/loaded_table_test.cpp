// A loaded table keeps its objects and fields in its arena: what the run does with them afterwards
// (replacing, reducing, growing and freeing fields, removing and destroying objects) must free
// heap blocks and leave arena memory alone. Under a memory checker these tests also show that
// nothing leaks and nothing is freed twice.
#include <gtest/gtest.h>

#include <string>

#include "database/class_table.h"
#include "database/database_samples.h"
#include "database/field_types.h"
#include "database/localized_text.h"
#include "database/object_table.h"
#include "tests/database/database_test_support.h"

namespace {

constexpr uint64_t kSaveTime = 0x01D0000000000001ull;

// Every object's fields filled again with the sample values of `variant` + its id.
void Refill(ObjectTable* table, uint32_t variant) {
  SetupObject** objects = ObjectTableSortedById(table);
  for (uint32_t i = 0; i < table->object_count; ++i)
    SampleFillEveryField(objects[i], variant + uint32_t(ObjectId(objects[i])));
  MemFree(objects);
}

struct LocalizedVisit {
  SetupObject* object;
  uint32_t done;
};

// Reduces, grows or frees every localized text of the object, by turns.
void WorkOnLocalized(unsigned slot, uint8_t type, void* context) {
  auto* visit = static_cast<LocalizedVisit*>(context);
  if (type != kFieldLocalized) return;
  LocalizedText* text = SlotLocalized(visit->object, slot);
  switch (visit->done++ % 3) {
    case 0: LocalizedTextReduce(text, 0x0407); break;
    case 1: LocalizedTextGrow(text, text->count + 2); break;
    default: LocalizedTextFree(text); break;
  }
}

}  // namespace

class LoadedTableTest : public DatabaseTest {
 protected:
  void SetUp() override {
    ObjectTable* sample = SampleEveryClass(2);
    bytes_ = SaveBytes(sample, kSaveTime);
    ObjectTableDestroy(sample);
    ASSERT_EQ(ReadBytes(bytes_, &table_, 0x5EED), 0u);
  }
  void TearDown() override { ObjectTableDestroy(table_); }
  Bytes bytes_;
  ObjectTable* table_ = nullptr;
};

TEST_F(LoadedTableTest, ObjectsAndTheirFieldsLieInTheTablesArena) {
  ASSERT_NE(table_->arena, nullptr);
  SetupObject* file = ObjectTableFirstOf(table_, Tag("file"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(FieldArenaOf(file), table_->arena);
  EXPECT_EQ(FieldArenaOf(SlotText(file, 29)), table_->arena);
  EXPECT_EQ(FieldArenaOf(SlotLocalized(file, 26)->pairs), table_->arena);
  EXPECT_EQ(FieldArenaOf(SlotView<ByteBlock>(file, 44)->items), table_->arena);
  EXPECT_EQ(std::u16string(SlotLocalized(file, 26)->pairs[1].text), u"Fran\u00E7ais");

  SetupObject* made = BuilderAddObject(table_, Tag("fsta"), 0x7777);  // made at run time
  BuilderSetText(made, 13, u"C:\\journal");
  EXPECT_EQ(FieldArenaOf(made), nullptr);
  EXPECT_EQ(FieldArenaOf(SlotText(made, 13)), nullptr);
}

TEST_F(LoadedTableTest, FieldsReplacedAtRunTimeSaveLikeFieldsOfABuiltTable) {
  // Loaded localized texts reduced, grown and freed; pairs that grow move to the heap.
  SetupObject* file = ObjectTableFirstOf(table_, Tag("file"));
  LocalizedText* name = SlotLocalized(file, 26);
  LocalizedTextGrow(name, 3);
  EXPECT_EQ(FieldArenaOf(name->pairs), nullptr);
  EXPECT_EQ(std::u16string(name->pairs[1].text), u"Fran\u00E7ais");
  EXPECT_EQ(name->pairs[2].text, nullptr);
  SetupObject** objects = ObjectTableSortedById(table_);
  for (uint32_t i = 0; i < table_->object_count; ++i) {
    LocalizedVisit visit{objects[i], i};
    ClassForEachField(ObjectClass(objects[i]), WorkOnLocalized, &visit);
  }
  MemFree(objects);
  // A loaded localized text swapped into a run-time object and freed with it.
  SetupObject* made = ObjectCreate(table_, Tag("symb"), 0x8888);
  LocalizedTextSwap(SlotLocalized(ObjectTableFirstOf(table_, Tag("a000")), 16), SlotLocalized(made, 10));
  ObjectDestroy(made);

  // Every field replaced by the builder's setters, which free what the field held.
  Refill(table_, 1000);
  ObjectTable* built = SampleEveryClass(2);
  Refill(built, 1000);
  EXPECT_EQ(SaveBytes(table_, kSaveTime), SaveBytes(built, kSaveTime));
  ObjectTableDestroy(built);
}

TEST_F(LoadedTableTest, ALoadedObjectStaysWithItsTable) {
  SetupObject* variable = ObjectTableFirstOf(table_, Tag("symb"));
  uint64_t id = ObjectId(variable);
  ASSERT_TRUE(ObjectTableRemove(table_, variable));
  ObjectTable* other = BuilderCreateTable();
  EXPECT_FALSE(ObjectTableInsert(other, variable)) << "it would vanish with its table";
  EXPECT_EQ(other->object_count, 0u);
  ObjectTableDestroy(other);
  EXPECT_TRUE(ObjectTableInsert(table_, variable));
  EXPECT_EQ(ObjectTableFind(table_, 0, id), variable);

  // Removed and destroyed at run time, with a field replaced first.
  SetupObject* support = ObjectTableFirstOf(table_, Tag("stof"));
  BuilderSetText(support, 9, u"C:\\Temp\\extracted.dll");
  ASSERT_TRUE(ObjectTableRemove(table_, support));
  ObjectDestroy(support);
  EXPECT_EQ(table_->object_count, 2 * kSetupClassCount - 1);
}

TEST_F(LoadedTableTest, AStoredCountThatLiesIsNotBelieved) {
  ObjectTable* many = BuilderCreateTable();
  for (uint64_t id = 1; id <= 3000; ++id) BuilderAddObject(many, Tag("lang"), id);
  Bytes bytes = SaveBytes(many);
  ObjectTableDestroy(many);
  const uint32_t counts[] = {0, 1, 0xFFFFFFFF};
  for (uint32_t count : counts) {
    memcpy(bytes.data() + kHeaderObjectCount, &count, 4);
    ObjectTable* loaded = nullptr;
    ASSERT_EQ(ReadBytes(bytes, &loaded), 0u) << count;
    EXPECT_EQ(loaded->object_count, 3000u);
    for (uint64_t id = 1; id <= 3000; id += 7) ASSERT_NE(ObjectTableFind(loaded, 0, id), nullptr) << count << " " << id;
    // The buckets grow with the objects that really arrive, whatever the stored count claims:
    // never more than the records the file can hold.
    EXPECT_GE(loaded->bucket_count, 3000u);
    EXPECT_LE(loaded->bucket_count, 2u * uint32_t(bytes.size() / 16)) << count;
    ObjectTableDestroy(loaded);
  }
}
