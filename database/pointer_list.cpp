#include "database/pointer_list.h"

#include "database/heap_sort.h"
#include "runtime/heap.h"

void PointerListAppend(PointerList* list, SetupObject* object) {
  if (list->count == list->capacity) {
    uint32_t capacity = list->capacity ? list->capacity * 2 : 16;
    list->items = static_cast<SetupObject**>(
        MemReallocFlags(list->items, size_t(capacity) * sizeof(SetupObject*), kMemKeep | kMemMustSucceed));
    list->capacity = capacity;
  }
  list->items[list->count++] = object;
}

void PointerListFree(PointerList* list) {
  MemFree(list->items);
  *list = PointerList{};
}

void ObjectArraySort(SetupObject** items, uint32_t count, ObjectCompare compare) {
  HeapSort(items, count, compare);
}

void PointerListSort(PointerList* list, ObjectCompare compare) { HeapSort(list->items, list->count, compare); }

SetupObject* PointerListSearch(const PointerList* list, const void* key, KeyCompare compare) {
  int64_t at = Bisect(list->items, list->count, [&](const SetupObject* o) { return compare(key, o); });
  return at < 0 ? nullptr : list->items[at];
}
