#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "database/object_id.h"
#include "database/object_table.h"
#include "tests/database/database_test_support.h"

class ObjectTableTest : public DatabaseTest {
 protected:
  void SetUp() override { table_ = ObjectTableCreate(0x5EED); }
  void TearDown() override { ObjectTableDestroy(table_); }
  SetupObject* Add(const char* tag, uint64_t id) {
    SetupObject* o = ObjectCreate(table_, Tag(tag), id);
    EXPECT_TRUE(ObjectTableInsert(table_, o));
    return o;
  }
  ObjectTable* table_ = nullptr;
};

TEST_F(ObjectTableTest, CreatesObjectsOfKnownTagsOnly) {
  EXPECT_EQ(ObjectCreate(table_, Tag("zzzz"), 1), nullptr);
  SetupObject* o = ObjectCreate(table_, Tag("file"), 0x1122334455667788ull);
  EXPECT_EQ(ObjectClass(o)->tag, Tag("file"));
  EXPECT_EQ(ObjectOwner(o), table_);
  EXPECT_EQ(ObjectId(o), 0x1122334455667788ull);
  EXPECT_EQ(SlotU32(o, 49), 0u);
  EXPECT_EQ(ObjectTableFind(table_, 0, 0x1122334455667788ull), nullptr);  // not inserted yet
  ObjectDestroy(o);
}

TEST_F(ObjectTableTest, FindsByIdWithAnAncestorAwareTagFilter) {
  SetupObject* file = Add("file", 42);
  EXPECT_EQ(ObjectTableFind(table_, 0, 42), file);
  EXPECT_EQ(ObjectTableFind(table_, Tag("file"), 42), file);
  EXPECT_EQ(ObjectTableFind(table_, Tag("insi"), 42), file);
  EXPECT_EQ(ObjectTableFind(table_, Tag("objt"), 42), file);
  EXPECT_EQ(ObjectTableFind(table_, Tag("regk"), 42), nullptr);
  EXPECT_EQ(ObjectTableFind(table_, 0, 43), nullptr);
}

TEST_F(ObjectTableTest, TheLastInsertedOfEqualIdsWins) {
  SetupObject* first = Add("fldr", 7);
  SetupObject* second = Add("file", 7);
  EXPECT_EQ(ObjectTableFind(table_, 0, 7), second);
  EXPECT_EQ(ObjectTableFind(table_, Tag("fldr"), 7), nullptr);  // the object found is no folder
  EXPECT_TRUE(ObjectTableRemove(table_, second));
  EXPECT_EQ(ObjectTableFind(table_, Tag("fldr"), 7), first);
  ObjectDestroy(second);
}

TEST_F(ObjectTableTest, InsertIsRefusedForAnObjectAlreadyInATable) {
  SetupObject* only = Add("lang", 1);  // alone in its bucket: its bucket link is empty
  EXPECT_FALSE(ObjectTableInsert(table_, only));
  EXPECT_EQ(table_->object_count, 1u);
  EXPECT_TRUE(ObjectTableRemove(table_, only));
  EXPECT_FALSE(ObjectTableRemove(table_, only));
  EXPECT_EQ(table_->object_count, 0u);
  EXPECT_TRUE(ObjectTableInsert(table_, only));
  EXPECT_EQ(ObjectTableFind(table_, 0, 1), only);
}

TEST_F(ObjectTableTest, ForEachFiltersByAncestorAndStopsAtZero) {
  EXPECT_EQ(ObjectTableForEach(
                table_, [](SetupObject*, ObjectTable*, void*) { ADD_FAILURE() << "called on an empty table"; return 1; },
                nullptr, 0),
            nullptr);
  Add("file", 1);
  Add("fldr", 2);
  Add("regk", 3);
  Add("lang", 4);
  std::set<uint64_t> seen;
  auto collect = [](SetupObject* o, ObjectTable*, void* c) {
    static_cast<std::set<uint64_t>*>(c)->insert(ObjectId(o));
    return 1;
  };
  EXPECT_EQ(ObjectTableForEach(table_, collect, &seen, Tag("insi")), nullptr);
  EXPECT_EQ(seen, (std::set<uint64_t>{1, 2, 3}));
  SetupObject* first = ObjectTableFirstOf(table_, Tag("lang"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ObjectId(first), 4u);
  EXPECT_EQ(ObjectTableFirstOf(table_, Tag("symb")), nullptr);
}

TEST_F(ObjectTableTest, GrowsThroughThePrimeTable) {
  std::vector<uint32_t> counts = {table_->bucket_count};
  for (uint64_t id = 1; id <= 1100; ++id) {
    Add("lang", id);
    if (table_->bucket_count != counts.back()) counts.push_back(table_->bucket_count);
  }
  EXPECT_EQ(counts, (std::vector<uint32_t>{31, 61, 127, 251, 509, 1021, 2039}));
  for (uint64_t id = 1; id <= 1100; ++id) ASSERT_NE(ObjectTableFind(table_, 0, id), nullptr) << id;
  EXPECT_EQ(kBucketCounts[32], 4294967291u);
}

TEST_F(ObjectTableTest, AStoredCountSizesTheTableAtOnce) {
  table_->expected_count = 200000;
  for (uint64_t id = 1; id <= 40; ++id) Add("lang", id);
  EXPECT_EQ(table_->bucket_count, 262139u);
}

TEST_F(ObjectTableTest, InsertingDuringForEachDefersTheGrowth) {
  for (uint64_t id = 1; id <= 31; ++id) Add("lang", id);
  ASSERT_EQ(table_->bucket_count, 31u);
  struct Walk {
    ObjectTableTest* test;
    int calls;
  } walk{this, 0};
  auto insertMany = [](SetupObject*, ObjectTable* table, void* c) {
    auto* w = static_cast<Walk*>(c);
    if (w->calls++ == 0) {
      // A nested walk ends inside the outer one: still no growth.
      ObjectTableFirstOf(table, Tag("lang"));
      for (uint64_t id = 100; id < 200; ++id) ObjectTableInsert(table, ObjectCreate(table, Tag("fsta"), id));
      EXPECT_EQ(table->bucket_count, 31u);
      EXPECT_GT(table->deferred_growths, 0);
    }
    EXPECT_EQ(table->bucket_count, 31u);
    return 1;
  };
  ObjectTableForEach(table_, insertMany, &walk, Tag("lang"));
  EXPECT_EQ(walk.calls, 31);  // inserted objects are of another class
  EXPECT_GT(table_->bucket_count, 131u);
  EXPECT_EQ(table_->deferred_growths, 0);
  for (uint64_t id = 100; id < 200; ++id) EXPECT_NE(ObjectTableFind(table_, Tag("fsta"), id), nullptr);
  for (uint64_t id = 1; id <= 31; ++id) EXPECT_NE(ObjectTableFind(table_, Tag("lang"), id), nullptr);
}

TEST_F(ObjectTableTest, SortsByIdThenInsertion) {
  SetupObject* b = Add("lang", 9);
  SetupObject* a = Add("lang", 3);
  SetupObject* c1 = Add("lang", 0xFFFFFFFF00000001ull);
  SetupObject* c2 = Add("fsta", 0xFFFFFFFF00000001ull);
  SetupObject** sorted = ObjectTableSortedById(table_);
  std::vector<SetupObject*> order(sorted, sorted + 4);
  MemFree(sorted);
  EXPECT_EQ(order, (std::vector<SetupObject*>{a, b, c1, c2}));
}

TEST(ObjectId, MixesFourRoundsWithTheFixedConstants) {
  // Values computed independently from the mixing rule.
  EXPECT_EQ(ObjectIdMix(0x0123456789ABCDEFull), 0x2C2B3B6AC87A8E8Full);
  EXPECT_EQ(ObjectIdMix(0), 0x5B730B800E4E91B1ull);
  ObjectIdSeed(0x0123456789ABCDEFull);
  EXPECT_EQ(ObjectIdNew(), 0x2C2B3B6AC87A8E8Full);
  EXPECT_EQ(ObjectIdNew(), 0xA75790EEE51D8749ull);
  std::set<uint64_t> ids;
  for (int i = 0; i < 10000; ++i) ids.insert(ObjectIdNew());
  EXPECT_EQ(ids.size(), 10000u);
}
