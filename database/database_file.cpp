#include "database/database_file.h"

#include <cstring>

#include "database/class_registry.h"
#include "database/field_types.h"
#include "database/stream_values.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/trace.h"

uint32_t DatabaseHeaderU32(const ObjectTable* table, uint32_t offset) {
  uint32_t value;
  memcpy(&value, table->header + offset, 4);
  return value;
}

uint64_t DatabaseHeaderU64(const ObjectTable* table, uint32_t offset) {
  uint64_t value;
  memcpy(&value, table->header + offset, 8);
  return value;
}

void DatabaseSetHeaderU32(ObjectTable* table, uint32_t offset, uint32_t value) {
  memcpy(table->header + offset, &value, 4);
}

void DatabaseSetHeaderU64(ObjectTable* table, uint32_t offset, uint64_t value) {
  memcpy(table->header + offset, &value, 8);
}

namespace {

constexpr uint32_t kRecordSize = 16;
constexpr unsigned kMaxClassDepth = 16;

// The object's class chain from objt down to its own class; returns the number of classes.
unsigned ClassChain(const ClassDescriptor* cls, const ClassDescriptor** chain) {
  unsigned depth = 0;
  for (; cls && depth < kMaxClassDepth; cls = cls->parent) chain[depth++] = cls;
  for (unsigned i = 0; i < depth / 2; ++i) {
    const ClassDescriptor* held = chain[i];
    chain[i] = chain[depth - 1 - i];
    chain[depth - 1 - i] = held;
  }
  return depth;
}

uint32_t ReadFields(BufferedFile* stream, SetupObject* object, FieldArena* arena) {
  const ClassDescriptor* chain[kMaxClassDepth];
  unsigned depth = ClassChain(ObjectClass(object), chain);
  for (unsigned c = 0; c < depth; ++c)
    for (const uint8_t* p = chain[c]->schema; p[1] != kFieldEnd; p += 2) {
      uint32_t err = FieldRead(stream, object, p[0], p[1], arena);
      if (err) return err;
    }
  return ERROR_SUCCESS;
}

uint32_t WriteObject(BufferedFile* stream, const SetupObject* object) {
  const ClassDescriptor* chain[kMaxClassDepth];
  unsigned depth = ClassChain(ObjectClass(object), chain);
  uint32_t record[4] = {chain[depth - 1]->tag, ObjectFlags(object), uint32_t(ObjectId(object)),
                        uint32_t(ObjectId(object) >> 32)};
  uint32_t err = StreamWrite(stream, record, kRecordSize);
  for (unsigned c = 0; c < depth && !err; ++c)
    for (const uint8_t* p = chain[c]->schema; p[1] != kFieldEnd && !err; p += 2)
      err = FieldWrite(stream, object, p[0], p[1]);
  return err;
}

// Bytes of the stream that are still to be read, when the stream can tell (files and memory).
bool BytesLeft(BufferedFile* stream, uint64_t* left) {
  uint64_t size;
  if (stream->file != kNoFile) {
    if (FileSize(stream->file, &size)) return false;
  } else if (stream->source) {
    size = stream->memory_size;
  } else {
    return false;
  }
  uint64_t position = BufferedTell(stream);
  *left = size > position ? size - position : 0;
  return true;
}

// The stored object count lets the table size itself at once; it is believed only as far as the
// rest of the stream can hold that many records.
uint32_t ExpectedCount(ObjectTable* table, BufferedFile* stream) {
  uint64_t stored = DatabaseHeaderU32(table, kHeaderObjectCount);
  uint64_t left;
  if (!BytesLeft(stream, &left)) return 0;
  return uint32_t(stored < left / kRecordSize ? stored : left / kRecordSize);
}

uint32_t ReadObjects(BufferedFile* stream, ObjectTable* table) {
  for (;;) {
    uint32_t record[4];
    uint32_t err = StreamRead(stream, record, kRecordSize);
    if (err) return err;
    if ((record[0] >> 24) == '!') return ERROR_SUCCESS;
    SetupObject* object = ObjectCreateLoaded(table, record[0], uint64_t(record[3]) << 32 | record[2]);
    if (!object) return ERROR_UNSUPPORTED_TYPE;
    SetObjectFlags(object, record[1]);
    err = ReadFields(stream, object, table->arena);
    if (err) {
      ObjectDestroy(object);
      return err;
    }
    ObjectTableInsert(table, object);
  }
}

}  // namespace

uint32_t DatabaseRead(BufferedFile* stream, uint32_t seed, ObjectTable** out) {
  *out = nullptr;
  ObjectTable* table = ObjectTableCreate(seed);
  uint32_t err = BufferedReadExact(stream, table->header, kDatabaseHeaderSize);
  if (!err && (DatabaseHeaderU32(table, kHeaderMagic) != kDatabaseMagic ||
               DatabaseHeaderU32(table, kHeaderVersion) < kDatabaseVersion))
    err = ERROR_BAD_FORMAT;
  if (!err) {
    table->expected_count = ExpectedCount(table, stream);
    err = ReadObjects(stream, table);
  }
  if (err) {
    ObjectTableDestroy(table);
    return err;
  }
  *out = table;
  return ERROR_SUCCESS;
}

uint32_t DatabaseSaveAt(ObjectTable* table, BufferedFile* stream, uint64_t save_time) {
  if (!table->buckets) return ERROR_INVALID_HANDLE_STATE;
  DatabaseSetHeaderU32(table, kHeaderObjectCount, table->object_count);
  uint8_t header[kDatabaseHeaderSize];
  memcpy(header, table->header, sizeof header);
  const uint32_t fixed[4] = {kDatabaseMagic, kDatabaseVersion, kDatabaseStamp, kDatabaseRuntimeVersion};
  memcpy(header, fixed, sizeof fixed);
  memcpy(header + kHeaderSaveTime, &save_time, 8);
  uint32_t err = StreamWrite(stream, header, sizeof header);

  // Objects go out ordered by id, objects with equal ids in the order they were inserted. Writing
  // them in hash-bucket order would make every saved file depend on the run's random seed and,
  // because loading pushes each object to the front of its bucket, would flip which of two objects
  // with the same id a lookup finds after every save and load. Id order makes saves reproducible
  // and keeps the winner of a duplicate id stable; readers accept any order.
  SetupObject** objects = ObjectTableSortedById(table);
  for (uint32_t i = 0; i < table->object_count && !err; ++i) err = WriteObject(stream, objects[i]);
  MemFree(objects);

  const uint32_t end[4] = {kEndRecordTag, 0, 0, 0};
  if (!err) err = StreamWrite(stream, end, kRecordSize);
  return err;
}

uint32_t DatabaseSave(ObjectTable* table, BufferedFile* stream) {
  return DatabaseSaveAt(table, stream, PlatformNowFileTime());
}

namespace {

// Writes the whole database to `path`.
uint32_t SaveToNewFile(ObjectTable* table, const char16_t* path) {
  BufferedFile stream{};
  uint32_t err = BufferedCreate(&stream, path, kFileShareRead);
  if (err) return err;
  err = DatabaseSave(table, &stream);
  uint32_t closeErr = BufferedClose(&stream);
  return err ? err : closeErr;
}

// Moves `from` over `to`; an existing `to` loses its read-only and system attributes only for the
// move, and gets them back when the move fails.
uint32_t ReplaceProtectedFile(const char16_t* from, const char16_t* to) {
  uint32_t attributes;
  bool existed = FileGetAttributes(to, &attributes) == ERROR_SUCCESS;
  if (existed && (attributes & (kAttributeReadOnly | kAttributeSystem)))
    FileSetAttributes(to, attributes & ~(kAttributeReadOnly | kAttributeSystem));
  uint32_t err = FileReplace(from, to);
  if (err && existed) FileSetAttributes(to, attributes);
  return err;
}

}  // namespace

uint32_t DatabaseSaveFile(ObjectTable* table, const char16_t* path) {
  size_t length = TextLength(path);
  auto* newPath = static_cast<char16_t*>(MemAlloc((length + 5) * sizeof(char16_t)));
  uint32_t err = ERROR_NOT_ENOUGH_MEMORY;
  if (newPath) {
    TextCopy(TextCopy(newPath, newPath + length + 4, path), newPath + length + 4, u".new");
    err = SaveToNewFile(table, newPath);
    if (!err) err = ReplaceProtectedFile(newPath, path);
    if (err) FileDelete(newPath);
    MemFree(newPath);
  }
  if (!err) FileSetAttributes(path, kAttributeReadOnly | kAttributeSystem);
  if (err)
    Trace(TR("E0003"), u"%s|%lu", path, err);
  else
    TraceList(TR("I0008"), 1, path);
  return err;
}
