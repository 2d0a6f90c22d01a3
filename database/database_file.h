// The setup database file: a 256-byte header, one record per object, an end record. The same format
// is the database entry of a package, a bare Setup.dat and the copies a finished run saves.
//
// Header (little-endian):
//   0   4  magic "kes9"                      4   4  version, written 0x00090005, read >= 0x00090005
//   8   4  written 0x1EAC2471 (not tested)   12  4  written 0x000B0008, the runtime's version (not tested)
//   16 16  package code (GUID)               32  8  reserved, carried
//   40  8  time of the save (FILETIME, UTC)  48  8  installation time (FILETIME; 0 in a package)
//   56  8  reserved, carried                 64  4  object count at the save
//   68 128 reserved, carried                 196 4  number of support files
//   200 56 carried
// The header stays in the table as read; a save replaces only offsets 0-15, 40-47 and 64-67.
//
// Object record: tag (4), flags (4), id (8), then the fields of the classes from objt down to the
// object's own, each schema in order. End record: a tag whose fourth character is "!" ("EoF!" when
// written) and 12 zero bytes.
#pragma once
#include <cstdint>

#include "database/object_table.h"
#include "runtime/buffered_file.h"

enum : uint32_t {
  kHeaderMagic = 0,
  kHeaderVersion = 4,
  kHeaderStamp = 8,
  kHeaderRuntimeVersion = 12,
  kHeaderPackageCode = 16,  // 16 bytes
  kHeaderReserved32 = 32,   // 8 bytes
  kHeaderSaveTime = 40,
  kHeaderInstallTime = 48,
  kHeaderReserved56 = 56,  // 8 bytes
  kHeaderObjectCount = 64,
  kHeaderReserved68 = 68,  // 128 bytes
  kHeaderSupportFiles = 196,
  kHeaderReserved200 = 200,  // 56 bytes
};

constexpr uint32_t kDatabaseMagic = 0x3973656B;  // "kes9"
constexpr uint32_t kDatabaseVersion = 0x00090005;
constexpr uint32_t kDatabaseStamp = 0x1EAC2471;
constexpr uint32_t kDatabaseRuntimeVersion = 0x000B0008;
constexpr uint32_t kEndRecordTag = 0x21466F45;  // "EoF!"

uint32_t DatabaseHeaderU32(const ObjectTable* table, uint32_t offset);
uint64_t DatabaseHeaderU64(const ObjectTable* table, uint32_t offset);
void DatabaseSetHeaderU32(ObjectTable* table, uint32_t offset, uint32_t value);
void DatabaseSetHeaderU64(ObjectTable* table, uint32_t offset, uint64_t value);

// Reads a database without linking it (tools that show or copy a database as stored use this).
// On success *table is the new table; on error *table is null and the partly read table has been
// destroyed. Returns 0; the stream's error when the header is short (38 for a file that ends) or
// the stream ends inside a record or field (the half-read object is destroyed); 11 for a wrong
// magic or a version below 0x00090005; 1630 for a record tag without a class.
uint32_t DatabaseRead(BufferedFile* stream, uint32_t seed, ObjectTable** table);

// Writes the header, every object ordered by id (equal ids in insertion order) and the end record,
// with the current time (or `save_time`) at offset 40; sets header offset 64 to the object count.
// Returns 0, 1609 for a table without buckets, or the stream's first error.
uint32_t DatabaseSave(ObjectTable* table, BufferedFile* stream);
uint32_t DatabaseSaveAt(ObjectTable* table, BufferedFile* stream, uint64_t save_time);

// Saves the run's copy (Setup.dat, Uninstall.dat): writes the whole database to "<path>.new" beside it
// (shared for reading; a flush error counts), then replaces the file with it and makes it read-only
// and system. A failed save deletes the new file and leaves an existing file as it was, attributes
// included: the copy a later repair or removal needs is never half-written. Writes trace I0008
// (path) or E0003 (path, error). Returns 0 or the error.
uint32_t DatabaseSaveFile(ObjectTable* table, const char16_t* path);
