// Heap sort in place and bisection search, shared by the class registry and the pointer lists.
// The heap is built by sifting down every node from the last parent to the root; then the root is
// swapped with the last element and the shortened heap sifted down, repeatedly.
#pragma once
#include <cstdint>

template <typename T, typename Compare>
void HeapSiftDown(T* items, uint32_t root, uint32_t count, Compare compare) {
  for (;;) {
    uint32_t child = 2 * root + 1;
    if (child >= count) return;
    if (child + 1 < count && compare(items[child], items[child + 1]) < 0) ++child;
    if (compare(items[root], items[child]) >= 0) return;
    T held = items[root];
    items[root] = items[child];
    items[child] = held;
    root = child;
  }
}

template <typename T, typename Compare>
void HeapSort(T* items, uint32_t count, Compare compare) {
  if (count < 2) return;
  for (uint32_t parent = count / 2; parent-- > 0;) HeapSiftDown(items, parent, count, compare);
  for (uint32_t end = count - 1; end > 0; --end) {
    T held = items[0];
    items[0] = items[end];
    items[end] = held;
    HeapSiftDown(items, 0, end, compare);
  }
}

// The position of an item for which compare(item) == 0 in items sorted so that compare is
// negative before it and positive after it; -1 when there is none. compare(item) tells how the
// sought key compares with item.
template <typename T, typename Compare>
int64_t Bisect(const T* items, uint32_t count, Compare compare) {
  uint32_t low = 0;
  uint32_t high = count;
  while (low < high) {
    uint32_t middle = low + (high - low) / 2;
    int order = compare(items[middle]);
    if (order == 0) return middle;
    if (order < 0)
      high = middle;
    else
      low = middle + 1;
  }
  return -1;
}
