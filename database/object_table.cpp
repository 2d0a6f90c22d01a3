#include "database/object_table.h"

#include <cstring>
#include <initializer_list>

#include "database/class_registry.h"
#include "database/field_types.h"
#include "database/pointer_list.h"
#include "runtime/heap.h"

const uint32_t kBucketCounts[33] = {
    1,        1,        3,         7,         13,        31,        61,         127,        251,
    509,      1021,     2039,      4093,      8191,      16381,     32749,      65521,      131071,
    262139,   524287,   1048573,   2097143,   4194301,   8388593,   16777213,   33554393,   67108859,
    134217689, 268435399, 536870909, 1073741789, 2147483647, 4294967291u,
};

namespace {

SetupObject* NextInBucket(const SetupObject* object) { return SlotPointer<SetupObject>(object, kSlotBucketNext); }
void SetNextInBucket(SetupObject* object, SetupObject* next) { SetSlotPointer(object, kSlotBucketNext, next); }

uint32_t BucketOf(uint64_t id, uint32_t seed, uint32_t bucket_count) {
  return (uint32_t(id) ^ uint32_t(id >> 32) ^ seed) % bucket_count;
}

SetupObject** AllocateBuckets(uint32_t count) {
  return static_cast<SetupObject**>(MemAllocFlags(size_t(count) * sizeof(SetupObject*), kMemMustSucceed));
}

uint32_t BucketCountFor(uint64_t target) {
  for (uint32_t count : kBucketCounts)
    if (count >= target) return count;
  return kBucketCounts[32];
}

// Grows to a bucket count that holds the stored count of the loaded database, or at least one more
// than the live objects, moving every object into its new bucket.
void Resize(ObjectTable* table) {
  uint64_t target = table->bucket_count > table->expected_count ? table->bucket_count
                                                                 : uint64_t(table->expected_count) + 1;
  if (uint64_t(table->object_count) + 1 > target) target = uint64_t(table->object_count) + 1;
  uint32_t count = BucketCountFor(target);
  if (count > table->bucket_count) {
    SetupObject** buckets = AllocateBuckets(count);
    for (uint32_t b = 0; b < table->bucket_count; ++b) {
      for (SetupObject* o = table->buckets[b]; o;) {
        SetupObject* next = NextInBucket(o);
        SetupObject** head = &buckets[BucketOf(ObjectId(o), table->seed, count)];
        SetNextInBucket(o, *head);
        *head = o;
        o = next;
      }
    }
    MemFree(table->buckets);
    table->buckets = buckets;
    table->bucket_count = count;
  }
  __atomic_store_n(&table->deferred_growths, 0, __ATOMIC_SEQ_CST);
}

void DestroyFields(SetupObject* object, const ClassDescriptor* cls) {
  for (const uint8_t* p = cls->schema; p && p[1] != 0; p += 2) FieldFree(object, p[0], p[1]);
}

SetupObject* InitialiseObject(void* instance, const ClassDescriptor* cls, ObjectTable* table, uint64_t id) {
  auto* object = static_cast<SetupObject*>(instance);
  SetSlotPointer(object, kSlotClass, cls);
  SetSlotPointer(object, kSlotTable, table);
  SetSlotU64(object, kSlotId, id);
  return object;
}

}  // namespace

ObjectTable* ObjectTableCreate(uint32_t seed) {
  ObjectTable* table = MemNew<ObjectTable>();
  table->seed = seed;
  table->bucket_count = kInitialBucketCount;
  table->buckets = AllocateBuckets(kInitialBucketCount);
  table->next_sequence = 1;
  return table;
}

void ObjectTableDestroy(ObjectTable* table) {
  if (!table) return;
  for (uint32_t b = 0; table->buckets && b < table->bucket_count; ++b) {
    for (SetupObject* o = table->buckets[b]; o;) {
      SetupObject* next = NextInBucket(o);
      SetNextInBucket(o, nullptr);
      SetSlotU32(o, kSlotSequence, 0);
      ObjectDestroy(o);
      o = next;
    }
  }
  MemFree(table->buckets);
  for (PointerList* list : {&table->variables, &table->languages, &table->journal, &table->options, &table->folders,
                            &table->files, &table->registry_keys})
    PointerListFree(list);
  FieldArenaRelease(table->arena);
  MemFree(table);
}

SetupObject* ObjectCreate(ObjectTable* table, uint32_t tag, uint64_t id) {
  const ClassDescriptor* cls = ClassLookup(tag);
  if (!cls) return nullptr;
  return InitialiseObject(MemAllocFlags(ClassInstanceSize(cls), kMemMustSucceed), cls, table, id);
}

SetupObject* ObjectCreateLoaded(ObjectTable* table, uint32_t tag, uint64_t id) {
  const ClassDescriptor* cls = ClassLookup(tag);
  if (!cls) return nullptr;
  if (!table->arena) table->arena = FieldArenaCreate();
  void* instance = FieldArenaAllocate(table->arena, ClassInstanceSize(cls), alignof(Slot));
  memset(instance, 0, ClassInstanceSize(cls));
  return InitialiseObject(instance, cls, table, id);
}

void ObjectDestroy(SetupObject* object) {
  if (!object) return;
  for (const ClassDescriptor* cls = ObjectClass(object); cls; cls = cls->parent) {
    if (cls->destroy) cls->destroy(object);
    DestroyFields(object, cls);
  }
  FieldBlockFree(object);
}

bool ObjectTableInsert(ObjectTable* table, SetupObject* object) {
  if (NextInBucket(object) || SlotU32(object, kSlotSequence)) return false;
  FieldArena* home = FieldArenaOf(object);
  if (home && home != table->arena) return false;
  if (table->object_count >= table->bucket_count) {
    if (__atomic_load_n(&table->iteration_depth, __ATOMIC_SEQ_CST) > 0)
      __atomic_add_fetch(&table->deferred_growths, 1, __ATOMIC_SEQ_CST);
    else
      Resize(table);
  }
  SetupObject** head = &table->buckets[BucketOf(ObjectId(object), table->seed, table->bucket_count)];
  SetNextInBucket(object, *head);
  *head = object;
  SetSlotPointer(object, kSlotTable, table);
  SetSlotU32(object, kSlotSequence, table->next_sequence);
  table->next_sequence = table->next_sequence == UINT32_MAX ? 1 : table->next_sequence + 1;
  ++table->object_count;
  return true;
}

bool ObjectTableRemove(ObjectTable* table, SetupObject* object) {
  SetupObject** head = &table->buckets[BucketOf(ObjectId(object), table->seed, table->bucket_count)];
  SetupObject* previous = nullptr;
  SetupObject* o = *head;
  while (o && o != object) {
    previous = o;
    o = NextInBucket(o);
  }
  if (!o) return false;
  if (previous)
    SetNextInBucket(previous, NextInBucket(object));
  else
    *head = NextInBucket(object);
  SetNextInBucket(object, nullptr);
  SetSlotU32(object, kSlotSequence, 0);
  --table->object_count;
  return true;
}

SetupObject* ObjectTableFind(const ObjectTable* table, uint32_t tag, uint64_t id) {
  if (!table->buckets) return nullptr;
  SetupObject* o = table->buckets[BucketOf(id, table->seed, table->bucket_count)];
  while (o && ObjectId(o) != id) o = NextInBucket(o);
  if (o && tag && !ObjectIsA(o, tag)) return nullptr;
  return o;
}

SetupObject* ObjectTableForEach(ObjectTable* table, ObjectCallback callback, void* context, uint32_t tag) {
  SetupObject* stopped = nullptr;
  __atomic_add_fetch(&table->iteration_depth, 1, __ATOMIC_SEQ_CST);
  for (uint32_t b = 0; b < table->bucket_count && !stopped; ++b) {
    for (SetupObject* o = table->buckets[b]; o && !stopped; o = NextInBucket(o))
      if ((!tag || ObjectIsA(o, tag)) && callback(o, table, context) == 0) stopped = o;
  }
  if (__atomic_sub_fetch(&table->iteration_depth, 1, __ATOMIC_SEQ_CST) == 0 &&
      __atomic_load_n(&table->deferred_growths, __ATOMIC_SEQ_CST) > 0)
    Resize(table);
  return stopped;
}

SetupObject* ObjectTableFirstOf(ObjectTable* table, uint32_t tag) {
  return ObjectTableForEach(
      table, [](SetupObject*, ObjectTable*, void*) { return 0; }, nullptr, tag);
}
