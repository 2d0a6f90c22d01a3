// Class descriptors: one constant record per setup class, and the field type codes of its schema.
#pragma once
#include <cstdint>

#include "database/setup_object.h"

// A tag is a u32 whose four bytes, in memory order, are the class name's four ASCII characters:
// "file" is the bytes 66 69 6C 65, the value 0x656C6966. Tags are compared as u32 values.
constexpr uint32_t TagOf(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 | uint32_t(uint8_t(name[2])) << 16 |
         uint32_t(uint8_t(name[3])) << 24;
}

// Field type codes of a schema. Codes that share a line share their handling; the code records
// what the field means. Slots: how many slots the field takes.
enum FieldType : uint8_t {
  kFieldEnd = 0,            // end of schema; reading or writing it is an error (11)
  kFieldInt = 1,            // 1 slot: 32-bit signed integer
  kFieldInt64 = 2,          // 2 slots: 64-bit value
  kFieldU32 = 3,            // 1 slot: 32-bit unsigned word (flags, enumerations)
  kFieldU64 = 4,            // 2 slots: 64-bit unsigned integer
  kFieldU32Array = 5,       // 2 slots: U32Array
  kFieldU64Array = 6,       // 2 slots: U64Array
  kFieldU32List = 7,        // 2 slots: U32Array (lists of numbers)
  kFieldU64List = 8,        // 2 slots: U64Array
  kFieldId = 9,             // 2 slots: the id of another object
  kFieldIdList = 10,        // 2 slots: U64Array of object ids
  kFieldText = 11,          // 1 slot: owned text
  kFieldAssemblyText = 12,  // 1 slot: owned text (asm9 only), handled like 11
  kFieldTextList = 13,      // 2 slots: TextList
  kFieldLocalized = 14,     // 3 slots: LocalizedText
  kFieldBytes = 15,         // 2 slots: ByteBlock
  kFieldFileTime = 16,      // 2 slots: FILETIME
  kFieldTypeLimit = 17,
};

// Slots taken by a field of the type; 0 for the end marker and unknown codes.
unsigned FieldTypeSlots(uint8_t type);

// Which method table a class has (the methods column of the class table).
enum : uint8_t {
  kNoMethods = 0,
  kActionMethods = 1,   // a table of three entries: run, finalize, rollback
  kControlMethods = 2,  // a table of two entries: message handler, set-from-text
};

// Action methods. `context` is an optional block of six 32-bit words handed down from the caller of
// the sequence (null for the top-level sequences). Each returns an action result code. Any entry
// may be null: the class does not have that method.
struct ActionMethods {
  int32_t (*run)(SetupObject* action, ObjectTable* database, uint32_t* context);
  int32_t (*finalize)(SetupObject* action, int32_t run_result, uint32_t* context);
  int32_t (*rollback)(SetupObject* action, int32_t run_result, uint32_t* context);
};

// Control methods, in portable types: `window` is the control's window handle, `wparam` and
// `lparam` the message parameters. The handler sees every message of the control first; when it
// returns non-zero, *result is the message's result. Either entry may be null.
struct ControlInstance;  // the user interface's record of one bound control window
struct ControlMethods {
  int (*handler)(ControlInstance* instance, void* window, uint32_t message, uintptr_t wparam, intptr_t lparam,
                 intptr_t* result);
  void (*set_from_text)(ControlInstance* instance, void* window, SetupObject* variable, const char16_t* text);
};

struct ClassDescriptor {
  uint32_t tag;
  uint32_t slot_count;            // instance size in slots (the reference size in bytes is 4 × this)
  const ClassDescriptor* parent;  // null for objt
  // The class's own stored fields: (slot, type) byte pairs in serialized order, ended by the pair
  // (slot_count, kFieldEnd). A class's full field list is its ancestors' schemas from objt down,
  // then its own.
  const uint8_t* schema;
  // Frees the class's run-time members; called before the class's fields are freed. Optional.
  void (*destroy)(SetupObject* object);
  // kNoMethods, kActionMethods or kControlMethods. The tables themselves are registered at start-up
  // by the subsystems that implement the classes (class_registry.h).
  uint8_t methods;
};

inline size_t ClassInstanceSize(const ClassDescriptor* cls) { return size_t(cls->slot_count) * sizeof(Slot); }
