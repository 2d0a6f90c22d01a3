// The steps of installing and removing one file item, shared by a115 and a116.
#pragma once
#include <cstdint>

#include "database/object_table.h"

// The replacement decision for the item by its effective mode (the reason's record, I0014/I0015
// with both files' facts, W0009 for a protected system file): kDecision* of file_decision.h.
int32_t FileItemDecide(SetupObject* file);

// Saves the installed state as the previous one and sets the new one for the decision (a kept file
// that was installed before keeps its state); a kept file joins the action's processed list, its
// pending deletion is cancelled and its shared count incremented. Runs the backup rule for kept and
// replaced files. Returns the result, or kDecisionSkip when nothing is to be written.
int32_t FileApplyDecision(ObjectTable* db, SetupObject* action, SetupObject* file, int32_t result);

// Moves the temporary copy onto the target (after the rollback copy), sets the attributes, the
// temporary entry or ".local" companion, the restart flag, joins the processed list. A target in
// use is retried (message 256) or deferred to the next restart. Returns 0 or the error that failed
// the file (installed state -1, temporary copy deleted).
uint32_t FileInstallFromTemporary(ObjectTable* db, SetupObject* action, SetupObject* file, const char16_t* temporary);

// For a new file (decision 3): creates the target's folder with its parents, journalled. Returns 0
// or the error (F0001 when the item's folder object is missing).
uint32_t FilePrepareTarget(ObjectTable* db, SetupObject* file, int32_t result);

// Copies an external file from the installation source folder to "._tm" and installs it.
uint32_t FileCopyExternal(ObjectTable* db, SetupObject* action, SetupObject* file, int32_t result);

// The backup rule: once per item (flag 0x10), for removal mode -4 and no temporary flag, the
// existing target is copied to "<product folder>\<id as %016I64X>._bu", journalled as owned.
void FileBackupRule(ObjectTable* db, SetupObject* file);

// The rollback copy: unless flag 0x8 or 0x40, an existing target is moved to "._rb" (or, when it is
// in use, copied there; *copied tells; a target that cannot even be read gets none, its move into
// place fails alike). Returns 0, or the error that fails the file before the old content is touched.
uint32_t FileMakeRollbackCopy(SetupObject* file, bool* copied);
// After a failed move into place: the moved copy goes back, a copied one is deleted.
void FileUndoRollbackCopy(SetupObject* file, bool copied);
// Rollback of one file: its target deleted and the rollback copy renamed back.
void FileRestore(ObjectTable* db, SetupObject* file);

// a116 run.
int32_t RemoveFiles(SetupObject* action, ObjectTable* db, uint32_t* context);

// The action's list of processed items (a005 slot 22).
PointerList* FileActionProcessed(SetupObject* action);
