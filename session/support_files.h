// The package's support files (class stof, one per package entry right after the database entry):
// a fresh installation extracts them into the session temporary folder, and its commit moves them
// into the product folder's cache "<product folder>\Cache".
#pragma once
#include <cstdint>

struct ObjectTable;
struct SessionState;

// Extracts the database header's count of support files, in package order, each under its record's
// name (slot 8); the record keeps the extracted path (slot 9). An entry without a record is
// skipped (D1192). Returns 0 or the first read (E1193) or extraction error (E0006).
uint32_t SupportFilesStage(ObjectTable* database);

// Moves every extracted support file into the cache folder (A1194 old and new path; the record
// takes the new path, and the file becomes the product's); a file that cannot be moved stays where
// it is (W1195).
void SupportFilesKeepInCache(SessionState* session, ObjectTable* database);
