// Building databases without knowing the byte layout (kez, tests, fuzz seeds): create objects of a
// tag with an id, set any stored field by slot with a typed value, read it back, set the header
// fields and save.
//
// Schema access: ClassFieldType(cls, slot) (class_registry.h) names the type of the stored field
// that starts at a slot, ClassForEachField lists a class's stored fields in serialized order. Each
// setter takes the types that share its value form and refuses any other slot:
//   BuilderSetU32       1 int, 3 u32                 BuilderSetU64      2, 4 u64, 9 id, 16 FILETIME
//   BuilderSetU32List   5, 7 u32 arrays              BuilderSetU64List  6, 8 u64 arrays, 10 id list
//   BuilderSetText      11, 12 text                  BuilderSetTextList 13 text list
//   BuilderSetLocalized 14 localized text            BuilderSetBytes    15 byte block
// Setters copy their values and replace (free) what the field held. They and the getters return 0,
// or 87 (ERROR_INVALID_PARAMETER) when no stored field of the object's class starts at the slot or
// the field's type does not take the value form.
#pragma once
#include <cstddef>
#include <cstdint>

#include "database/object_table.h"

// A table for building: bucket seed 0.
ObjectTable* BuilderCreateTable();
// Creates an object of the tag's class with the id and flags and inserts it; null for a tag
// without a class.
SetupObject* BuilderAddObject(ObjectTable* table, uint32_t tag, uint64_t id, uint32_t flags = 0);

uint32_t BuilderSetU32(SetupObject* object, unsigned slot, uint32_t value);
inline uint32_t BuilderSetInt(SetupObject* object, unsigned slot, int32_t value) {
  return BuilderSetU32(object, slot, uint32_t(value));
}
uint32_t BuilderSetU64(SetupObject* object, unsigned slot, uint64_t value);
inline uint32_t BuilderSetId(SetupObject* object, unsigned slot, uint64_t id) { return BuilderSetU64(object, slot, id); }
inline uint32_t BuilderSetFileTime(SetupObject* object, unsigned slot, uint64_t filetime) {
  return BuilderSetU64(object, slot, filetime);
}
uint32_t BuilderSetU32List(SetupObject* object, unsigned slot, const uint32_t* items, uint32_t count);
uint32_t BuilderSetU64List(SetupObject* object, unsigned slot, const uint64_t* items, uint32_t count);
inline uint32_t BuilderSetIdList(SetupObject* object, unsigned slot, const uint64_t* ids, uint32_t count) {
  return BuilderSetU64List(object, slot, ids, count);
}
uint32_t BuilderSetText(SetupObject* object, unsigned slot, const char16_t* text);  // null: no text
uint32_t BuilderSetTextList(SetupObject* object, unsigned slot, const char16_t* const* texts, uint32_t count);
// `pairs` holds `count` (text, language key) pairs; the texts are copied.
uint32_t BuilderSetLocalized(SetupObject* object, unsigned slot, const char16_t* default_text,
                             const LocalizedPair* pairs, uint32_t count);
uint32_t BuilderSetBytes(SetupObject* object, unsigned slot, const void* bytes, uint32_t length);

// Getters: the value, or a view of the field that stays owned by the object.
uint32_t BuilderGetU32(const SetupObject* object, unsigned slot, uint32_t* value);
uint32_t BuilderGetU64(const SetupObject* object, unsigned slot, uint64_t* value);
uint32_t BuilderGetU32List(const SetupObject* object, unsigned slot, const U32Array** list);
uint32_t BuilderGetU64List(const SetupObject* object, unsigned slot, const U64Array** list);
uint32_t BuilderGetText(const SetupObject* object, unsigned slot, const char16_t** text);  // may be null
uint32_t BuilderGetTextList(const SetupObject* object, unsigned slot, const TextList** list);
uint32_t BuilderGetLocalized(const SetupObject* object, unsigned slot, const LocalizedText** text);
uint32_t BuilderGetBytes(const SetupObject* object, unsigned slot, const ByteBlock** bytes);

// Header fields (database_file.h).
void BuilderSetPackageCode(ObjectTable* table, const uint8_t code[16]);
void BuilderSetInstallationTime(ObjectTable* table, uint64_t filetime);
void BuilderSetSupportFileCount(ObjectTable* table, uint32_t count);

// Saving: DatabaseSave / DatabaseSaveAt for a stream; into a new memory block (MemFree); into a
// plain file (created or replaced, no attributes set). Return 0 or the error.
uint32_t BuilderSaveToMemory(ObjectTable* table, uint64_t save_time, uint8_t** bytes, size_t* size);
uint32_t BuilderSaveToPath(ObjectTable* table, uint64_t save_time, const char16_t* path);
