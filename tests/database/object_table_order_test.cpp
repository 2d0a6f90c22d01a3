// ObjectTableSortedById: objects ordered by id, objects with equal ids in insertion order, whatever
// order they were inserted and removed in.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "database/object_table.h"
#include "tests/database/database_test_support.h"

namespace {

// Builds a table step by step and keeps the live objects in insertion order beside it.
struct History {
  ObjectTable* table = ObjectTableCreate(0x5EED);
  std::vector<SetupObject*> live;

  ~History() { ObjectTableDestroy(table); }
  void Insert(uint64_t id) { Reinsert(ObjectCreate(table, Tag("lang"), id)); }
  void Reinsert(SetupObject* object) {
    ASSERT_TRUE(ObjectTableInsert(table, object));
    live.push_back(object);
  }
  SetupObject* Remove(size_t index) {
    SetupObject* object = live[index];
    EXPECT_TRUE(ObjectTableRemove(table, object));
    live.erase(live.begin() + long(index));
    return object;
  }
  std::vector<SetupObject*> Expected() const {
    std::vector<SetupObject*> order = live;
    std::stable_sort(order.begin(), order.end(),
                     [](const SetupObject* a, const SetupObject* b) { return ObjectId(a) < ObjectId(b); });
    return order;
  }
  std::vector<SetupObject*> Sorted() const {
    SetupObject** sorted = ObjectTableSortedById(table);
    std::vector<SetupObject*> order(sorted, sorted + table->object_count);
    MemFree(sorted);
    return order;
  }
};

uint64_t Scattered(uint64_t n) { return (n * 0x9E3779B97F4A7C15ull) >> 20; }

}  // namespace

class SortedByIdTest : public DatabaseTest {};

TEST_F(SortedByIdTest, OrdersByIdThenInsertionWhateverTheHistory) {
  struct Case {
    const char* name;
    std::function<void(History*)> build;
  } cases[] = {
      {"ascending, as loaded", [](History* h) { for (uint64_t id = 1; id <= 500; ++id) h->Insert(id); }},
      {"loaded, then objects made at run time",
       [](History* h) {
         for (uint64_t id = 10; id <= 500; ++id) h->Insert(id);
         for (uint64_t id : {uint64_t(250), uint64_t(7), uint64_t(1000), uint64_t(10), Scattered(3)}) h->Insert(id);
       }},
      {"descending", [](History* h) { for (uint64_t id = 500; id >= 1; --id) h->Insert(id); }},
      {"scattered", [](History* h) { for (uint64_t n = 1; n <= 500; ++n) h->Insert(Scattered(n)); }},
      {"equal ids", [](History* h) { for (uint64_t id : {5, 5, 3, 5, 3, 0, 0}) h->Insert(uint64_t(id)); }},
      {"one removed and inserted again",
       [](History* h) {
         for (uint64_t id = 1; id <= 10; ++id) h->Insert(id);
         h->Reinsert(h->Remove(4));
       }},
      {"most removed: numbers too sparse to place",
       [](History* h) {
         for (uint64_t id = 1; id <= 5000; ++id) h->Insert(id);
         for (size_t i = h->live.size(); i-- > 0;)
           if (i % 50) ObjectDestroy(h->Remove(i));
         h->Insert(3);
       }},
  };
  for (const Case& c : cases) {
    History history;
    c.build(&history);
    EXPECT_EQ(history.Sorted(), history.Expected()) << c.name;
  }
  History empty;
  EXPECT_EQ(ObjectTableSortedById(empty.table), nullptr);
}
