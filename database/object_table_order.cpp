// ObjectTableSortedById. A loaded table was mostly inserted in id order already, because a save
// writes its objects by id: the objects are first put in insertion order by their sequence numbers,
// the prefix that is already in id order stays as it is, and only the objects after it (those made
// at run time, typically few) are sorted and merged in. A table whose sequence numbers cannot be
// placed (many removals, numbers wrapped around) is sorted whole.
#include "database/class_registry.h"
#include "database/heap_sort.h"
#include "database/object_table.h"
#include "runtime/heap.h"

namespace {

// Sorting keys beside the pointers keeps the comparisons in one array.
struct SortKey {
  uint64_t id;
  uint32_t sequence;
  SetupObject* object;
};

SortKey KeyOf(SetupObject* object) { return SortKey{ObjectId(object), SlotU32(object, kSlotSequence), object}; }

int CompareKeys(const SortKey& a, const SortKey& b) {
  if (a.id != b.id) return a.id < b.id ? -1 : 1;
  return a.sequence < b.sequence ? -1 : a.sequence > b.sequence ? 1 : 0;
}

SetupObject* NextInBucket(const SetupObject* object) { return SlotPointer<SetupObject>(object, kSlotBucketNext); }

// The objects of a large table lie far apart from bucket to bucket: the walk asks for the first
// object of a bucket this many buckets ahead, so that the memory waits overlap.
constexpr uint32_t kPrefetchDistance = 16;

// The keys of every object in bucket order.
void GatherKeys(const ObjectTable* table, SortKey* keys) {
  uint32_t count = 0;
  for (uint32_t b = 0; b < table->bucket_count; ++b)
    for (SetupObject* o = table->buckets[b]; o && count < table->object_count; o = NextInBucket(o))
      keys[count++] = KeyOf(o);
}

// The keys of every object in insertion order, each key placed by its object's sequence number in
// the same walk that reads the number, so that every object is visited once. False when the numbers
// given out are too many for the objects (removals) or do not fit (wrapped).
bool PlaceBySequence(const ObjectTable* table, SortKey* keys) {
  uint32_t given = table->next_sequence - 1;  // sequence numbers run from 1
  if (given < table->object_count || given / 2 > table->object_count + 1024) return false;
  // Without removals the numbers are exactly 1 to object_count: the keys go straight into place.
  SortKey* placed = given == table->object_count ? keys : MemNew<SortKey>(given);
  bool fits = true;
  for (uint32_t b = 0; b < table->bucket_count && fits; ++b) {
    if (b + kPrefetchDistance < table->bucket_count) __builtin_prefetch(table->buckets[b + kPrefetchDistance]);
    for (SetupObject* o = table->buckets[b]; o && fits; o = NextInBucket(o)) {
      uint32_t sequence = SlotU32(o, kSlotSequence);
      fits = sequence - 1 < given && !placed[sequence - 1].object;
      if (fits) placed[sequence - 1] = KeyOf(o);
    }
  }
  uint32_t count = 0;
  for (uint32_t i = 0; i < given && fits; ++i) {
    if (!placed[i].object) continue;
    fits = count < table->object_count;
    if (fits) keys[count++] = placed[i];
  }
  if (placed != keys) MemFree(placed);
  return fits && count == table->object_count;
}

// Merges two sorted runs of keys into their objects.
void Merge(const SortKey* a, uint32_t a_count, const SortKey* b, uint32_t b_count, SetupObject** out) {
  uint32_t i = 0, j = 0;
  while (i < a_count && j < b_count) *out++ = CompareKeys(a[i], b[j]) < 0 ? a[i++].object : b[j++].object;
  while (i < a_count) *out++ = a[i++].object;
  while (j < b_count) *out++ = b[j++].object;
}

}  // namespace

SetupObject** ObjectTableSortedById(ObjectTable* table) {
  uint32_t count = table->object_count;
  if (!count) return nullptr;
  SortKey* keys = MemNew<SortKey>(count);
  uint32_t sorted = 0;
  if (PlaceBySequence(table, keys))
    for (sorted = 1; sorted < count && CompareKeys(keys[sorted - 1], keys[sorted]) < 0;) ++sorted;
  else
    GatherKeys(table, keys);
  HeapSort(keys + sorted, count - sorted, CompareKeys);
  SetupObject** items = MemNew<SetupObject*>(count);
  Merge(keys, sorted, keys + sorted, count - sorted, items);
  MemFree(keys);
  return items;
}

SetupObject** ObjectTableSortedOfClass(ObjectTable* table, uint32_t tag, uint32_t* count) {
  SetupObject** all = ObjectTableSortedById(table);
  *count = 0;
  if (!all) return nullptr;
  for (uint32_t i = 0; i < table->object_count; ++i)
    if (ObjectIsA(all[i], tag)) all[(*count)++] = all[i];
  return all;
}
