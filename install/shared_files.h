// Reference counts of shared files under "SharedDLLs" and the cancellation of a pending deletion
// of a path in "PendingFileRenameOperations".
#pragma once
#include <cstdint>

#include "database/object_table.h"

// For a file item with the shared flag: the count becomes count + 1 (a repair leaves a non-zero
// count alone).
void SharedCountIncrement(const SetupObject* file);
// For a shared file item installed by this product (installed state above 0): count - 1, or the
// value deleted when the count is 1 or less.
void SharedCountDecrement(const SetupObject* file);
// Whether a shared file must stay on removal: its count, less this product's reference, is not 0.
bool SharedCountKeeps(const SetupObject* file);

// Removes the pending deletion (a pair with an empty destination) of `path` or its short form from
// "PendingFileRenameOperations"; the value is deleted when nothing else remains. A missing key or
// value is success. Returns 0 or the error; a failed write also sets variable 513.
uint32_t PendingDeletionCancel(ObjectTable* db, const char16_t* path);
