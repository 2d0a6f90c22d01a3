#include "database/database_builder.h"

#include <cstring>
#include <initializer_list>

#include "database/class_descriptor.h"
#include "database/class_registry.h"
#include "database/database_file.h"
#include "database/field_string.h"
#include "database/field_types.h"
#include "runtime/buffered_file.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace {

// The type of the stored field that starts at the slot when it is one of `accepted`; else 0.
uint8_t TypeIn(const SetupObject* object, unsigned slot, std::initializer_list<uint8_t> accepted) {
  uint8_t type = ClassFieldType(ObjectClass(object), slot);
  for (uint8_t a : accepted)
    if (type == a) return type;
  return kFieldEnd;
}

template <typename T>
T* CopyItems(const T* items, uint32_t count) {
  if (!count) return nullptr;
  auto* copy = static_cast<T*>(MemAllocFlags(size_t(count) * sizeof(T), kMemMustSucceed));
  memcpy(copy, items, size_t(count) * sizeof(T));
  return copy;
}

template <typename Array, typename Item>
void ReplaceArray(SetupObject* object, unsigned slot, uint8_t type, const Item* items, uint32_t count) {
  FieldFree(object, slot, type);
  Array* array = SlotView<Array>(object, slot);
  array->items = CopyItems(items, count);
  array->count = count;
}


}  // namespace

ObjectTable* BuilderCreateTable() { return ObjectTableCreate(0); }

SetupObject* BuilderAddObject(ObjectTable* table, uint32_t tag, uint64_t id, uint32_t flags) {
  SetupObject* object = ObjectCreate(table, tag, id);
  if (!object) return nullptr;
  SetObjectFlags(object, flags);
  ObjectTableInsert(table, object);
  return object;
}

uint32_t BuilderSetU32(SetupObject* object, unsigned slot, uint32_t value) {
  if (!TypeIn(object, slot, {kFieldInt, kFieldU32})) return ERROR_INVALID_PARAMETER;
  SetSlotU32(object, slot, value);
  return ERROR_SUCCESS;
}

uint32_t BuilderSetU64(SetupObject* object, unsigned slot, uint64_t value) {
  if (!TypeIn(object, slot, {kFieldInt64, kFieldU64, kFieldId, kFieldFileTime})) return ERROR_INVALID_PARAMETER;
  SetSlotU64(object, slot, value);
  return ERROR_SUCCESS;
}

uint32_t BuilderSetU32List(SetupObject* object, unsigned slot, const uint32_t* items, uint32_t count) {
  uint8_t type = TypeIn(object, slot, {kFieldU32Array, kFieldU32List});
  if (!type) return ERROR_INVALID_PARAMETER;
  ReplaceArray<U32Array>(object, slot, type, items, count);
  return ERROR_SUCCESS;
}

uint32_t BuilderSetU64List(SetupObject* object, unsigned slot, const uint64_t* items, uint32_t count) {
  uint8_t type = TypeIn(object, slot, {kFieldU64Array, kFieldU64List, kFieldIdList});
  if (!type) return ERROR_INVALID_PARAMETER;
  ReplaceArray<U64Array>(object, slot, type, items, count);
  return ERROR_SUCCESS;
}

uint32_t BuilderSetBytes(SetupObject* object, unsigned slot, const void* bytes, uint32_t length) {
  if (!TypeIn(object, slot, {kFieldBytes})) return ERROR_INVALID_PARAMETER;
  ReplaceArray<ByteBlock>(object, slot, kFieldBytes, static_cast<const uint8_t*>(bytes), length);
  return ERROR_SUCCESS;
}

uint32_t BuilderSetText(SetupObject* object, unsigned slot, const char16_t* text) {
  uint8_t type = TypeIn(object, slot, {kFieldText, kFieldAssemblyText});
  if (!type) return ERROR_INVALID_PARAMETER;
  FieldFree(object, slot, type);
  SetSlotPointer(object, slot, TextDuplicate(text));
  return ERROR_SUCCESS;
}

uint32_t BuilderSetTextList(SetupObject* object, unsigned slot, const char16_t* const* texts, uint32_t count) {
  if (!TypeIn(object, slot, {kFieldTextList})) return ERROR_INVALID_PARAMETER;
  FieldFree(object, slot, kFieldTextList);
  TextList* list = SlotView<TextList>(object, slot);
  if (count) list->items = MemNew<char16_t*>(count);
  for (uint32_t i = 0; i < count; ++i) list->items[i] = TextDuplicate(texts[i] ? texts[i] : u"");
  list->count = count;
  return ERROR_SUCCESS;
}

uint32_t BuilderSetLocalized(SetupObject* object, unsigned slot, const char16_t* default_text,
                             const LocalizedPair* pairs, uint32_t count) {
  if (!TypeIn(object, slot, {kFieldLocalized})) return ERROR_INVALID_PARAMETER;
  FieldFree(object, slot, kFieldLocalized);
  LocalizedText* text = SlotLocalized(object, slot);
  text->text = TextDuplicate(default_text);
  if (count) text->pairs = MemNew<LocalizedPair>(count);
  for (uint32_t i = 0; i < count; ++i) {
    text->pairs[i].key = pairs[i].key;
    text->pairs[i].text = TextDuplicate(pairs[i].text ? pairs[i].text : u"");
  }
  text->count = count;
  return ERROR_SUCCESS;
}

uint32_t BuilderGetU32(const SetupObject* object, unsigned slot, uint32_t* value) {
  if (!TypeIn(object, slot, {kFieldInt, kFieldU32})) return ERROR_INVALID_PARAMETER;
  *value = SlotU32(object, slot);
  return ERROR_SUCCESS;
}

uint32_t BuilderGetU64(const SetupObject* object, unsigned slot, uint64_t* value) {
  if (!TypeIn(object, slot, {kFieldInt64, kFieldU64, kFieldId, kFieldFileTime})) return ERROR_INVALID_PARAMETER;
  *value = SlotU64(object, slot);
  return ERROR_SUCCESS;
}

uint32_t BuilderGetU32List(const SetupObject* object, unsigned slot, const U32Array** list) {
  if (!TypeIn(object, slot, {kFieldU32Array, kFieldU32List})) return ERROR_INVALID_PARAMETER;
  *list = SlotView<U32Array>(object, slot);
  return ERROR_SUCCESS;
}

uint32_t BuilderGetU64List(const SetupObject* object, unsigned slot, const U64Array** list) {
  if (!TypeIn(object, slot, {kFieldU64Array, kFieldU64List, kFieldIdList})) return ERROR_INVALID_PARAMETER;
  *list = SlotView<U64Array>(object, slot);
  return ERROR_SUCCESS;
}

uint32_t BuilderGetText(const SetupObject* object, unsigned slot, const char16_t** text) {
  if (!TypeIn(object, slot, {kFieldText, kFieldAssemblyText})) return ERROR_INVALID_PARAMETER;
  *text = SlotText(object, slot);
  return ERROR_SUCCESS;
}

uint32_t BuilderGetTextList(const SetupObject* object, unsigned slot, const TextList** list) {
  if (!TypeIn(object, slot, {kFieldTextList})) return ERROR_INVALID_PARAMETER;
  *list = SlotView<TextList>(object, slot);
  return ERROR_SUCCESS;
}

uint32_t BuilderGetLocalized(const SetupObject* object, unsigned slot, const LocalizedText** text) {
  if (!TypeIn(object, slot, {kFieldLocalized})) return ERROR_INVALID_PARAMETER;
  *text = SlotLocalized(object, slot);
  return ERROR_SUCCESS;
}

uint32_t BuilderGetBytes(const SetupObject* object, unsigned slot, const ByteBlock** bytes) {
  if (!TypeIn(object, slot, {kFieldBytes})) return ERROR_INVALID_PARAMETER;
  *bytes = SlotView<ByteBlock>(object, slot);
  return ERROR_SUCCESS;
}

void BuilderSetPackageCode(ObjectTable* table, const uint8_t code[16]) {
  memcpy(table->header + kHeaderPackageCode, code, 16);
}

void BuilderSetInstallationTime(ObjectTable* table, uint64_t filetime) {
  DatabaseSetHeaderU64(table, kHeaderInstallTime, filetime);
}

void BuilderSetSupportFileCount(ObjectTable* table, uint32_t count) {
  DatabaseSetHeaderU32(table, kHeaderSupportFiles, count);
}

uint32_t BuilderSaveToMemory(ObjectTable* table, uint64_t save_time, uint8_t** bytes, size_t* size) {
  BufferedFile stream{};
  BufferedCreateMemory(&stream);
  uint32_t err = DatabaseSaveAt(table, &stream, save_time);
  *bytes = err ? nullptr : BufferedTakeMemory(&stream, size);
  BufferedClose(&stream);
  return err;
}

uint32_t BuilderSaveToPath(ObjectTable* table, uint64_t save_time, const char16_t* path) {
  BufferedFile stream{};
  uint32_t err = BufferedCreate(&stream, path, 0);
  if (err) return err;
  err = DatabaseSaveAt(table, &stream, save_time);
  uint32_t closeErr = BufferedClose(&stream);
  return err ? err : closeErr;
}
