// Setup objects: instances of the setup classes, laid out as arrays of slots.
//
// Slot layout. The class schemas number an instance's members as 32-bit slots. In this build every
// slot has the width of a pointer (`Slot` = uintptr_t): on 32-bit Windows, the product, that is
// exactly the 32-bit reference layout; on 64-bit builds every slot is 8 bytes, so a slot that holds
// a pointer (a text, an array, a run-time member) has room for it and every slot index still
// addresses its field. An instance of a class of n slots is n × sizeof(Slot) bytes.
//
// Values keep the slot form of the reference layout on every build:
//   - a 32-bit value (field types 1, 3; flags) is one slot, zero-extended;
//   - a 64-bit value (types 2, 4, 9, 16; the object id) is two slots, the low half first;
//   - a pointer (a text, a run-time object pointer) is one slot;
//   - an array (types 5-8, 10, 13, 15) is two slots (items, count), a localized text (type 14) three
//     slots (default text, pairs, count), a run-time pointer list three slots (items, count,
//     capacity); these are reached through the views below, which start at the field's first slot.
// A slot is always read and written in the form of its field: scalars and pointers through the
// Slot accessors, multi-slot fields through their view.
//
// Field memory. A field owns its text, its array or its localized text's texts and pairs. That
// memory is either a heap block (fields set at run time, objects made with ObjectCreate) or memory
// of the object table's arena (field_arena.h): a load takes every loaded object's instance and
// field storage from large blocks that are released only with the table. Hence:
//   - Free a field's memory only through FieldFree, LocalizedTextFree / LocalizedTextReduce or
//     FieldBlockFree, never through MemFree; they free heap blocks and leave arena memory alone.
//   - To replace a field's value, free it that way, then store a new heap block (MemAlloc,
//     TextDuplicate, or a BuilderSet* setter, which does both). Never resize a field's block in
//     place (MemRealloc); LocalizedTextGrow copies loaded pairs to the heap before growing them.
//   - Destroy objects with ObjectDestroy. A loaded object lives in its table's arena: destroy it (or
//     leave it to ObjectTableDestroy) before its table is destroyed; it can never be moved into
//     another table (ObjectTableInsert refuses).
#pragma once
#include <cstddef>
#include <cstdint>

using Slot = uintptr_t;

struct SetupObject;  // an instance: Slot[slot count of its class]; reached through ObjectSlots()
struct ObjectTable;
struct ClassDescriptor;

// The object header: the eight slots of class objt, present in every object.
enum : unsigned {
  kSlotClass = 0,       // class descriptor
  kSlotTable = 1,       // owning object table
  kSlotBucketNext = 2,  // next object in the same hash bucket
  kSlotSequence = 3,    // run time: insertion sequence number, 0 while not in a table
  kSlotId = 4,          // object id, u64 (slot 4 low half, slot 5 high half)
  kSlotFlags = 6,       // object flags, stored in the object record
  kHeaderSlots = 8,
};

inline Slot* ObjectSlots(SetupObject* object) { return reinterpret_cast<Slot*>(object); }
inline const Slot* ObjectSlots(const SetupObject* object) { return reinterpret_cast<const Slot*>(object); }

// Scalars and pointers.
inline uint32_t SlotU32(const SetupObject* o, unsigned slot) { return uint32_t(ObjectSlots(o)[slot]); }
inline int32_t SlotInt(const SetupObject* o, unsigned slot) { return int32_t(SlotU32(o, slot)); }
inline void SetSlotU32(SetupObject* o, unsigned slot, uint32_t value) { ObjectSlots(o)[slot] = value; }
inline uint64_t SlotU64(const SetupObject* o, unsigned slot) {
  return uint64_t(uint32_t(ObjectSlots(o)[slot])) | uint64_t(uint32_t(ObjectSlots(o)[slot + 1])) << 32;
}
inline void SetSlotU64(SetupObject* o, unsigned slot, uint64_t value) {
  ObjectSlots(o)[slot] = uint32_t(value);
  ObjectSlots(o)[slot + 1] = uint32_t(value >> 32);
}
template <typename T>
T* SlotPointer(const SetupObject* o, unsigned slot) {
  return reinterpret_cast<T*>(ObjectSlots(o)[slot]);
}
inline void SetSlotPointer(SetupObject* o, unsigned slot, const void* pointer) {
  ObjectSlots(o)[slot] = reinterpret_cast<Slot>(pointer);
}
// A text field (types 11, 12): an owned, NUL-terminated UTF-16 text, or null for no text. To set
// one: FieldFree(object, slot, type), then SetSlotPointer with a heap text (TextDuplicate).
inline char16_t* SlotText(const SetupObject* o, unsigned slot) { return SlotPointer<char16_t>(o, slot); }

inline const ClassDescriptor* ObjectClass(const SetupObject* o) { return SlotPointer<const ClassDescriptor>(o, kSlotClass); }
inline ObjectTable* ObjectOwner(const SetupObject* o) { return SlotPointer<ObjectTable>(o, kSlotTable); }
inline uint64_t ObjectId(const SetupObject* o) { return SlotU64(o, kSlotId); }
inline uint32_t ObjectFlags(const SetupObject* o) { return SlotU32(o, kSlotFlags); }
inline void SetObjectFlags(SetupObject* o, uint32_t flags) { SetSlotU32(o, kSlotFlags, flags); }

// Multi-slot views. Every array owns its items (see "Field memory" above).
struct U32Array {  // types 5 and 7
  uint32_t* items;
  uint32_t count;
};
struct U64Array {  // types 6, 8 and 10 (object ids)
  uint64_t* items;
  uint32_t count;
};
struct TextList {  // type 13: each text owned, then the items
  char16_t** items;
  uint32_t count;
};
struct ByteBlock {  // type 15
  uint8_t* items;
  uint32_t count;  // the length in bytes
};
// A pair is 4-aligned: 8 bytes on 32-bit builds and 12, not 16, on 64-bit builds, whose processors
// read a pointer at any 4-aligned address at full speed. A loaded database holds a pair for every
// language of every localized field, so padding would cost a few percent of the loaded table. The
// text is read and written as a member (pair->text); its address is no char16_t** to pass on.
#pragma pack(push, 4)
struct LocalizedPair {
  char16_t* text;
  uint32_t key;  // low 16 bits: a Windows language id
};
#pragma pack(pop)
struct LocalizedText {  // type 14
  char16_t* text;        // the default text
  LocalizedPair* pairs;  // count pairs
  uint32_t count;
};
struct PointerList {  // run-time lists of objects (not owned by the list)
  SetupObject** items;
  uint32_t count;
  uint32_t capacity;
};

static_assert(sizeof(U32Array) <= 2 * sizeof(Slot) && sizeof(U64Array) <= 2 * sizeof(Slot) &&
                  sizeof(TextList) <= 2 * sizeof(Slot) && sizeof(ByteBlock) <= 2 * sizeof(Slot),
              "an array field is two slots");
static_assert(sizeof(LocalizedText) <= 3 * sizeof(Slot), "a localized text is three slots");
static_assert(sizeof(LocalizedPair) == sizeof(char16_t*) + 4, "a localized pair has no padding");
static_assert(sizeof(PointerList) <= 3 * sizeof(Slot), "a pointer list is three slots");

template <typename View>
View* SlotView(SetupObject* o, unsigned slot) {
  return reinterpret_cast<View*>(ObjectSlots(o) + slot);
}
template <typename View>
const View* SlotView(const SetupObject* o, unsigned slot) {
  return reinterpret_cast<const View*>(ObjectSlots(o) + slot);
}
inline LocalizedText* SlotLocalized(SetupObject* o, unsigned slot) { return SlotView<LocalizedText>(o, slot); }
inline const LocalizedText* SlotLocalized(const SetupObject* o, unsigned slot) {
  return SlotView<LocalizedText>(o, slot);
}
inline PointerList* SlotPointerList(SetupObject* o, unsigned slot) { return SlotView<PointerList>(o, slot); }
