#include "database/field_types.h"

#include <type_traits>

#include "database/field_arena.h"
#include "database/field_string.h"
#include "database/localized_text.h"
#include "database/stream_values.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

unsigned FieldTypeSlots(uint8_t type) {
  switch (type) {
    case kFieldInt:
    case kFieldU32:
    case kFieldText:
    case kFieldAssemblyText: return 1;
    case kFieldLocalized: return 3;
    case kFieldEnd: return 0;
    default: return type < kFieldTypeLimit ? 2 : 0;
  }
}

namespace {

constexpr uint32_t kFirstChunk = 65536;

// Reads `count` items of `size` bytes into a new block that grows as the bytes arrive, so a count
// that the stream cannot hold fails at the stream's end. Only a stream that really holds more than
// half the address space fails with 8 instead.
uint32_t ReadItems(BufferedFile* stream, uint32_t count, uint32_t size, FieldArena* arena, void** items) {
  *items = nullptr;
  uint64_t total = uint64_t(count) * size;
  size_t capacity = total < kFirstChunk ? size_t(total) : kFirstChunk;
  auto* block = static_cast<uint8_t*>(FieldArenaAllocate(arena, capacity, size));
  size_t got = 0;
  uint32_t err = ERROR_SUCCESS;
  while (!err && got < total) {
    if (got == capacity) {
      uint64_t grown = uint64_t(capacity) * 2 < total ? uint64_t(capacity) * 2 : total;
      if (grown > SIZE_MAX / 2) {
        err = ERROR_NOT_ENOUGH_MEMORY;
        break;
      }
      block = static_cast<uint8_t*>(FieldArenaResize(arena, block, capacity, size_t(grown), size));
      capacity = size_t(grown);
    }
    err = BufferedReadExact(stream, block + got, uint32_t(capacity - got));
    got = capacity;
  }
  if (err) {
    FieldBlockFree(block);
    return err;
  }
  *items = block;
  return ERROR_SUCCESS;
}

// Grows an array that is being filled item by item towards a stored count: exactly that count when
// it is small, otherwise doubling from 64 items, so an absurd count never allocates ahead of the
// items that really arrive.
template <typename T>
T* GrowFor(T* items, uint32_t filled, uint32_t count, uint32_t* capacity, FieldArena* arena) {
  if (filled < *capacity) return items;
  uint32_t grown = *capacity ? *capacity * 2 : 64;
  if (grown > count) grown = count;
  void* block = items ? FieldArenaResize(arena, items, size_t(*capacity) * sizeof(T), size_t(grown) * sizeof(T), alignof(T))
                      : FieldArenaAllocate(arena, size_t(grown) * sizeof(T), alignof(T));
  *capacity = grown;
  return static_cast<T*>(block);
}

// The arrays U32Array, U64Array and ByteBlock share the (items, count) form.
template <typename Array>
using ItemOf = std::remove_pointer_t<decltype(Array::items)>;

template <typename Array>
uint32_t ReadArray(BufferedFile* stream, SetupObject* object, unsigned slot, FieldArena* arena) {
  uint32_t count;
  uint32_t err = StreamReadU32(stream, &count);
  if (err || !count) return err;
  void* items;
  err = ReadItems(stream, count, sizeof(ItemOf<Array>), arena, &items);
  if (err) return err;
  auto* array = SlotView<Array>(object, slot);
  array->items = static_cast<ItemOf<Array>*>(items);
  array->count = count;
  return ERROR_SUCCESS;
}

uint32_t ReadTextList(BufferedFile* stream, SetupObject* object, unsigned slot, FieldArena* arena) {
  uint32_t count;
  uint32_t err = StreamReadU32(stream, &count);
  if (err || !count) return err;
  TextList list{};
  uint32_t capacity = 0;
  while (!err && list.count < count) {
    list.items = GrowFor(list.items, list.count, count, &capacity, arena);
    err = StringRead(stream, &list.items[list.count], arena);
    if (!err) ++list.count;
  }
  if (err) {
    for (uint32_t i = 0; i < list.count; ++i) FieldBlockFree(list.items[i]);
    FieldBlockFree(list.items);
    return err;
  }
  *SlotView<TextList>(object, slot) = list;
  return ERROR_SUCCESS;
}

uint32_t ReadLocalized(BufferedFile* stream, SetupObject* object, unsigned slot, FieldArena* arena) {
  LocalizedText text{};
  uint32_t count = 0;
  uint32_t err = StringRead(stream, &text.text, arena);
  if (!err) err = StreamReadU32(stream, &count);
  uint32_t capacity = 0;
  while (!err && text.count < count) {
    text.pairs = GrowFor(text.pairs, text.count, count, &capacity, arena);
    LocalizedPair* pair = &text.pairs[text.count];
    char16_t* pairText = nullptr;
    err = StreamReadU32(stream, &pair->key);
    if (!err) err = StringRead(stream, &pairText, arena);
    if (!err) {
      pair->text = pairText;
      ++text.count;
    }
  }
  if (err) {
    LocalizedTextFree(&text);
    return err;
  }
  LocalizedText* field = SlotLocalized(object, slot);
  field->text = text.text;
  if (text.count) {
    field->pairs = text.pairs;
    field->count = text.count;
  }
  return ERROR_SUCCESS;
}

template <typename Array>
uint32_t WriteArray(BufferedFile* stream, const SetupObject* object, unsigned slot) {
  const Array* array = SlotView<Array>(object, slot);
  uint32_t count = array->items ? array->count : 0;
  uint32_t err = StreamWriteU32(stream, count);
  const auto* bytes = reinterpret_cast<const uint8_t*>(array->items);
  for (uint64_t left = uint64_t(count) * sizeof(ItemOf<Array>); !err && left;) {
    uint32_t chunk = left < 0x40000000 ? uint32_t(left) : 0x40000000;
    err = BufferedWrite(stream, bytes, chunk);
    bytes += chunk;
    left -= chunk;
  }
  return err;
}

template <typename Array>
void FreeArray(SetupObject* object, unsigned slot) {
  Array* array = SlotView<Array>(object, slot);
  FieldBlockFree(array->items);
  *array = Array{};
}

uint32_t WriteTextList(BufferedFile* stream, const SetupObject* object, unsigned slot) {
  const TextList* list = SlotView<TextList>(object, slot);
  uint32_t count = list->items ? list->count : 0;
  uint32_t err = StreamWriteU32(stream, count);
  for (uint32_t i = 0; i < count && !err; ++i) err = StringWrite(stream, list->items[i]);
  return err;
}

uint32_t WriteLocalized(BufferedFile* stream, const SetupObject* object, unsigned slot) {
  const LocalizedText* text = SlotLocalized(object, slot);
  uint32_t count = text->pairs ? text->count : 0;
  uint32_t err = StringWrite(stream, text->text);
  if (!err) err = StreamWriteU32(stream, count);
  for (uint32_t i = 0; i < count && !err; ++i) {
    err = StreamWriteU32(stream, text->pairs[i].key);
    if (!err) err = StringWrite(stream, text->pairs[i].text);
  }
  return err;
}

}  // namespace

uint32_t FieldRead(BufferedFile* stream, SetupObject* object, unsigned slot, uint8_t type, FieldArena* arena) {
  uint32_t err = ERROR_SUCCESS;
  switch (type) {
    case kFieldInt:
    case kFieldU32: {
      uint32_t value;
      err = StreamReadU32(stream, &value);
      if (!err) SetSlotU32(object, slot, value);
      break;
    }
    case kFieldInt64:
    case kFieldU64:
    case kFieldId:
    case kFieldFileTime: {
      uint64_t value;
      err = StreamReadU64(stream, &value);
      if (!err) SetSlotU64(object, slot, value);
      break;
    }
    case kFieldU32Array:
    case kFieldU32List: err = ReadArray<U32Array>(stream, object, slot, arena); break;
    case kFieldU64Array:
    case kFieldU64List:
    case kFieldIdList: err = ReadArray<U64Array>(stream, object, slot, arena); break;
    case kFieldBytes: err = ReadArray<ByteBlock>(stream, object, slot, arena); break;
    case kFieldText:
    case kFieldAssemblyText: {
      char16_t* text;
      err = StringRead(stream, &text, arena);
      if (!err) SetSlotPointer(object, slot, text);
      break;
    }
    case kFieldTextList: err = ReadTextList(stream, object, slot, arena); break;
    case kFieldLocalized: err = ReadLocalized(stream, object, slot, arena); break;
    default: err = ERROR_BAD_FORMAT; break;
  }
  return err;
}

uint32_t FieldWrite(BufferedFile* stream, const SetupObject* object, unsigned slot, uint8_t type) {
  switch (type) {
    case kFieldInt:
    case kFieldU32: return StreamWriteU32(stream, SlotU32(object, slot));
    case kFieldInt64:
    case kFieldU64:
    case kFieldId:
    case kFieldFileTime: return StreamWriteU64(stream, SlotU64(object, slot));
    case kFieldU32Array:
    case kFieldU32List: return WriteArray<U32Array>(stream, object, slot);
    case kFieldU64Array:
    case kFieldU64List:
    case kFieldIdList: return WriteArray<U64Array>(stream, object, slot);
    case kFieldBytes: return WriteArray<ByteBlock>(stream, object, slot);
    case kFieldText:
    case kFieldAssemblyText: return StringWrite(stream, SlotText(object, slot));
    case kFieldTextList: return WriteTextList(stream, object, slot);
    case kFieldLocalized: return WriteLocalized(stream, object, slot);
    default: return ERROR_BAD_FORMAT;
  }
}

void FieldFree(SetupObject* object, unsigned slot, uint8_t type) {
  switch (type) {
    case kFieldTextList: {
      TextList* list = SlotView<TextList>(object, slot);
      for (uint32_t i = 0; list->items && i < list->count; ++i) FieldBlockFree(list->items[i]);
      FieldBlockFree(list->items);
      *list = TextList{};
      break;
    }
    case kFieldLocalized: LocalizedTextFree(SlotLocalized(object, slot)); break;
    case kFieldText:
    case kFieldAssemblyText:
      FieldBlockFree(SlotText(object, slot));
      SetSlotPointer(object, slot, nullptr);
      break;
    case kFieldU32Array:
    case kFieldU32List: FreeArray<U32Array>(object, slot); break;
    case kFieldU64Array:
    case kFieldU64List:
    case kFieldIdList: FreeArray<U64Array>(object, slot); break;
    case kFieldBytes: FreeArray<ByteBlock>(object, slot); break;
    default: break;  // values own nothing
  }
}

int32_t U32ArrayIndexOf(const U32Array* array, uint32_t value) {
  for (uint32_t i = 0; array->items && i < array->count; ++i)
    if (array->items[i] == value) return int32_t(i);
  return -1;
}
