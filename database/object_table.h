// The object table: the in-memory database. All objects of one database live in its hash buckets,
// keyed by their 64-bit id.
#pragma once
#include <cstdint>

#include "database/field_arena.h"
#include "database/setup_object.h"

constexpr uint32_t kDatabaseHeaderSize = 256;
constexpr uint32_t kInitialBucketCount = 31;

struct ObjectTable {
  uint8_t header[kDatabaseHeaderSize];  // the database header as loaded (database_file.h)
  SetupObject** buckets;                // bucket heads; an object is pushed at the front of its bucket
  uint32_t bucket_count;
  uint32_t object_count;
  uint32_t seed;             // mixed into every bucket index (the process's random seed; 0 in tools)
  uint32_t expected_count;   // object count the table may size itself for at once (set by the loader)
  int32_t iteration_depth;   // walks in progress; changed atomically
  int32_t deferred_growths;  // growths put off until the outermost walk ends; changed atomically
  uint32_t next_sequence;    // insertion sequence number of the next inserted object
  // Filled by the linking pass after loading (database_link.h).
  PointerList variables;      // symb, sorted by name
  PointerList languages;      // lang that the system accepts
  PointerList journal;        // fsta
  PointerList options;        // the installation's top-level options (cmp9)
  PointerList folders;        // fldr
  PointerList files;          // file, sorted by slot 29
  PointerList registry_keys;  // regk
  SetupObject* installation;  // the inst object
  FieldArena* arena;          // the instances and fields of the loaded objects (null: none loaded)
};

// A zeroed table with 31 buckets. `seed` is mixed into every bucket index: the Windows runtime
// passes its process seed, host tools 0.
ObjectTable* ObjectTableCreate(uint32_t seed);
// Destroys every object, frees the buckets, the seven lists, the arena and the table. Null is
// accepted.
void ObjectTableDestroy(ObjectTable* table);

// A zeroed instance of the tag's class with its class, owning table and id filled; not yet in the
// table. Null for a tag without a class. The instance is a heap block: objects made at run time.
SetupObject* ObjectCreate(ObjectTable* table, uint32_t tag, uint64_t id);
// The same with the instance taken from the table's arena, which is created on first use: the
// loader's objects. Such an object can only ever be inserted into this table.
SetupObject* ObjectCreateLoaded(ObjectTable* table, uint32_t tag, uint64_t id);
// Frees the object: for its class and then each ancestor, the class's destroy procedure, then every
// field of the class's schema by its type; finally the instance. The object must not be in a table.
// What lies in an arena (a loaded object's instance and fields) stays until its table is destroyed.
void ObjectDestroy(SetupObject* object);

// Adds the object at the front of its bucket and gives it the next insertion sequence number;
// growing the table first when the object count has reached the bucket count. Refused (false) for
// an object that is already in a table, and for one whose instance lies in another table's arena
// (it would vanish with that table).
bool ObjectTableInsert(ObjectTable* table, SetupObject* object);
// Unlinks the object from its bucket; the object survives. False when it is not in this table.
bool ObjectTableRemove(ObjectTable* table, SetupObject* object);

// The object with the id (of those sharing an id, the one inserted last), or null; with a nonzero
// tag, an object that is not of that class or a descendant counts as not found.
SetupObject* ObjectTableFind(const ObjectTable* table, uint32_t tag, uint64_t id);

// Calls callback(object, table, context) for every object (of the tag's class or a descendant, when
// tag is nonzero), bucket by bucket, until a callback returns 0; returns that object, or null when
// all were visited. A callback may insert objects (a growth waits until the outermost walk ends) but
// must not remove or destroy any.
using ObjectCallback = int (*)(SetupObject* object, ObjectTable* table, void* context);
SetupObject* ObjectTableForEach(ObjectTable* table, ObjectCallback callback, void* context, uint32_t tag);
// The first object of the class (or a descendant) that a walk meets, or null.
SetupObject* ObjectTableFirstOf(ObjectTable* table, uint32_t tag);

// Every object, ordered by id and, for equal ids, by insertion: a new array of object_count
// pointers (MemFree), null for an empty table.
SetupObject** ObjectTableSortedById(ObjectTable* table);

// The objects of class `tag` or a class derived from it, in the same order: a new array (MemFree)
// whose first *count pointers are those objects; null for an empty table.
SetupObject** ObjectTableSortedOfClass(ObjectTable* table, uint32_t tag, uint32_t* count);

// The bucket counts the table grows through: the largest prime below each power of two.
extern const uint32_t kBucketCounts[33];
