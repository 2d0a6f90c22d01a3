// a117 Creating shortcuts and a118 Removing shortcuts: the database's shortcut items (shct) made or
// removed by their effective modes through the shell's link object. An existing shortcut file is
// moved aside to "._rb" first; finalize deletes the copy, rollback deletes the new file and moves
// the copy back.
#include "install/shortcut_actions.h"

#include <windows.h>

#include "actions/abort_on_failure.h"
#include "actions/action_object.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/field_string.h"
#include "database/field_types.h"
#include "database/localized_text.h"
#include "database/pointer_list.h"
#include "expr/database_resolver.h"
#include "expr/installable_item.h"
#include "expr/variables.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "install/folders.h"
#include "install/shortcut_link.h"
#include "install/shortcut_slots.h"
#include "install/shortcut_target.h"
#include "install/target_name.h"
#include "runtime/heap.h"
#include "runtime/path_clean.h"
#include "runtime/path_parts.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"

namespace {

constexpr unsigned kProcessedList = 22;  // a005: the items the action changed (pointer list, slots 22-24)
constexpr uint32_t kItemFlagKeepWithU = 0x1;
constexpr size_t kTextCapacity = 4096;

// The run's texts of one shortcut, each kTextCapacity characters on the heap.
struct ShortcutTexts {
  char16_t* target;
  char16_t* arguments;
  char16_t* description;
  char16_t* working_folder;
  ShortcutTexts() : target(Alloc()), arguments(Alloc()), description(Alloc()), working_folder(Alloc()) {}
  ~ShortcutTexts() {
    for (char16_t* text : {target, arguments, description, working_folder}) MemFree(text);
  }
  bool ok() const { return target && arguments && description && working_folder; }
  static char16_t* End(char16_t* text) { return text + kTextCapacity - 1; }

 private:
  static char16_t* Alloc() {
    auto* text = static_cast<char16_t*>(MemAlloc(kTextCapacity * sizeof(char16_t)));
    if (text) *text = 0;
    return text;
  }
};

const char16_t* Text(const char16_t* text) { return text ? text : u""; }

bool Cancelled() {
  SessionState* s = SessionCurrent();
  return s && s->cancel_requested;
}

bool KeptByU(const SetupObject* item) {
  SessionState* s = SessionCurrent();
  return s && s->keep_flag && (SlotU32(item, kItemFlags) & kItemFlagKeepWithU);
}

// A localized field in the session's language with its variables resolved.
void ResolveLocalized(ObjectTable* db, const SetupObject* item, unsigned slot, char16_t* start, char16_t* end) {
  Substitute(db, Text(LocalizedTextFor(SlotLocalized(item, slot), VariablesLanguage())), start, end);
}

void SetRollbackCopy(SetupObject* item, const char16_t* copy) {
  FieldFree(item, kShortcutRollbackCopy, kFieldText);
  SetSlotPointer(item, kShortcutRollbackCopy, copy ? TextDuplicate(copy) : nullptr);
}

// The shortcut file's path: computed from the folder and the name unless the item already has one
// from an installation (so removal finds the same file whatever the language); kept in the item. A
// name that would leave its folder (E2004) leaves the path empty and gives the check's error.
uint32_t ComputeShortcutPath(ObjectTable* db, SetupObject* item, const char16_t** result) {
  const SetupObject* folder = SlotPointer<SetupObject>(item, kShortcutFolderObject);
  char16_t name[kInstallPathCapacity];
  ResolveLocalized(db, item, kShortcutName, name, name + kInstallPathCapacity - 1);
  *result = Text(SlotText(item, kShortcutPath));
  if (!folder) {
    Trace(TR("E0044"), u"%s|%I64X", name, SlotU64(item, kShortcutFolder));
    return ERROR_SUCCESS;
  }
  if (**result && SlotInt(item, kItemInstalledState) >= 1) return ERROR_SUCCESS;
  if (uint32_t err = TargetNameCheck(name)) {
    Trace(TR("E2004"), u"%s|%016I64X|%lu", name, ObjectId(item), err);
    BuilderSetText(item, kShortcutPath, nullptr);
    SetSlotU32(item, kItemInstalledState, uint32_t(-1));
    *result = u"";
    return err;
  }
  char16_t path[kInstallPathCapacity];
  char16_t* end = path + kInstallPathCapacity - 1;
  TextAppend(PathJoin(path, end, Text(SlotText(folder, kFolderPath)), name), end, u".lnk");
  PathClean(path);
  BuilderSetText(item, kShortcutPath, path);
  TraceList(TR("D0005"), 2, name, path);
  *result = Text(SlotText(item, kShortcutPath));
  return ERROR_SUCCESS;
}

// Deletes an old P + "._rb" (its name into `copy`, kInstallPathCapacity characters) and moves P
// there; on success the item remembers the copy. Returns 0 or the error of the move.
uint32_t MoveAside(ObjectTable* db, SetupObject* item, const char16_t* path, char16_t* copy) {
  PathWithSuffix(copy, copy + kInstallPathCapacity - 1, path, u"._rb");
  FileJournalDeleteByPattern(db, copy, ObjectId(item), nullptr, false);
  if (!Sys().MoveFileExW(W(path), W(copy), MOVEFILE_COPY_ALLOWED)) return GetLastError();
  SetRollbackCopy(item, copy);
  return ERROR_SUCCESS;
}

// The shell may save the link under another extension: the first of P, P as ".pif", P as ".url"
// that exists becomes the item's path.
void FindSavedFile(SetupObject* item, const char16_t* path) {
  if (PathExists(path)) return;
  char16_t other[kInstallPathCapacity];
  size_t length = TextLength(path);
  if (length < 4) return;
  for (const char16_t* extension : {u".pif", u".url"}) {
    TextCopy(TextCopyN(other, other + kInstallPathCapacity - 1, path, length - 4), other + kInstallPathCapacity - 1,
             extension);
    if (!PathExists(other)) continue;
    BuilderSetText(item, kShortcutPath, other);
    return;
  }
}

// The installed path of the icon's file item, or "".
const char16_t* IconPath(ObjectTable* db, const SetupObject* item) {
  uint64_t id = SlotU64(item, kShortcutIconFile);
  const SetupObject* file = id ? ObjectTableFind(db, TagOf("file"), id) : nullptr;
  return file ? Text(SlotText(file, kFileTargetPath)) : u"";
}

uint32_t LinkFailed(SetupObject* item, const char16_t* path, const char16_t* target, HRESULT result) {
  SetSlotU32(item, kItemInstalledState, uint32_t(-1));
  Trace(TR("E0016"), u"%s|%s|0x%08lX", path, target, uint32_t(result));
  return uint32_t(result);
}

// Makes the link and saves it to `path` (the item is on the processed list before the save).
uint32_t SaveLink(SetupObject* action, ObjectTable* db, SetupObject* item, const char16_t* path,
                  const ShortcutTexts& t) {
  ShortcutLink link;
  const char16_t* call = nullptr;
  HRESULT result = ShortcutLinkCreate(&link, &call);
  if (FAILED(result)) {
    Trace(TR("E0062"), u"%s|0x%08lX", call, uint32_t(result));
    return LinkFailed(item, path, t.target, result);
  }
  ShortcutLinkSet(link, {t.target, SlotInt(item, kShortcutShowCommand), t.arguments, t.working_folder, t.description,
                         IconPath(db, item), SlotInt(item, kShortcutIconIndex),
                         (SlotU32(item, kShortcutFlags) & kShortcutFlagRunAsAdministrator) != 0});
  char16_t folder[kInstallPathCapacity];
  PathFolderPart(folder, folder + kInstallPathCapacity - 1, path);
  FolderCreate(db, folder, kFolderJournalOwned);
  char16_t copy[kInstallPathCapacity];
  MoveAside(db, item, path, copy);
  PointerListAppend(SlotPointerList(action, kProcessedList), item);
  result = ShortcutLinkSave(link, path);
  ShortcutLinkRelease(&link);
  if (FAILED(result)) return LinkFailed(item, path, t.target, result);
  return ERROR_SUCCESS;
}

// Creates one shortcut: 0 for success or a skipped shortcut, otherwise the error.
uint32_t CreateShortcut(SetupObject* action, ObjectTable* db, SetupObject* item) {
  ShortcutTexts t;
  if (!t.ok()) return ERROR_NOT_ENOUGH_MEMORY;
  const char16_t* path;
  if (uint32_t err = ComputeShortcutPath(db, item, &path)) return err;
  Substitute(db, Text(SlotText(item, kShortcutTarget)), t.target, ShortcutTexts::End(t.target));
  if (!*t.target) return ERROR_SUCCESS;
  bool address = ShortcutTargetIsAddress(t.target);
  if (!address && !PathExists(t.target)) {
    TraceList(TR("I0050"), 2, path, t.target);
    return ERROR_SUCCESS;
  }
  ResolveLocalized(db, item, kShortcutDescription, t.description, ShortcutTexts::End(t.description));
  ResolveLocalized(db, item, kShortcutArguments, t.arguments, ShortcutTexts::End(t.arguments));
  Substitute(db, Text(SlotText(item, kShortcutWorkingFolder)), t.working_folder, ShortcutTexts::End(t.working_folder));
  if (!*t.working_folder && !address)
    PathFolderPart(t.working_folder, ShortcutTexts::End(t.working_folder), t.target);
  if (uint32_t err = SaveLink(action, db, item, path, t)) return err;
  FindSavedFile(item, path);
  SetSlotU32(item, kItemInstalledState, 1);
  TraceList(TR("A0023"), 3, Text(SlotText(item, kShortcutPath)), t.target, t.arguments);
  return ERROR_SUCCESS;
}

void RemoveShortcut(SetupObject* action, ObjectTable* db, SetupObject* item) {
  const char16_t* path;
  if (ComputeShortcutPath(db, item, &path) || !*path) return;
  char16_t copy[kInstallPathCapacity];
  uint32_t err = MoveAside(db, item, path, copy);
  if (err == ERROR_SUCCESS) TraceList(TR("A0031"), 2, path, copy);
  else Trace(TR("W0024"), u"%s|%s|%lu", path, copy, err);
  PointerListAppend(SlotPointerList(action, kProcessedList), item);
  SetSlotU32(item, kItemInstalledState, 0);
}

int32_t CreateShortcuts(SetupObject* action, ObjectTable* db, uint32_t*) {
  if (Cancelled()) return kResultCancelled;
  ExtensionSendEvent(kEventShortcutsCreating, 0);
  PointerListFree(SlotPointerList(action, kProcessedList));
  uint32_t count;
  SetupObject** items = ObjectTableSortedOfClass(db, TagOf("shct"), &count);
  int32_t result = kResultDone;
  for (uint32_t i = 0; i < count && result == kResultDone; ++i) {
    if (SlotInt(items[i], kItemEffectiveMode) <= 0) continue;
    if (CreateShortcut(action, db, items[i]) && AbortOnFailure(kFailureShortcuts, true)) result = kResultFailed;
  }
  MemFree(items);
  if (result != kResultDone) return result;
  ExtensionSendEvent(kEventShortcutsCreated, 0);
  return kResultDone;
}

int32_t RemoveShortcuts(SetupObject* action, ObjectTable* db, uint32_t*) {
  if (Cancelled()) return kResultCancelled;
  ExtensionSendEvent(kEventShortcutsRemoving, 0);
  PointerListFree(SlotPointerList(action, kProcessedList));
  uint32_t count;
  SetupObject** items = ObjectTableSortedOfClass(db, TagOf("shct"), &count);
  for (uint32_t i = 0; i < count; ++i)
    if (SlotInt(items[i], kItemEffectiveMode) < 0 && !KeptByU(items[i])) RemoveShortcut(action, db, items[i]);
  MemFree(items);
  ExtensionSendEvent(kEventShortcutsRemoved, 0);
  return kResultDone;
}

// The run is committed: the copies moved aside go, last processed first.
int32_t FinalizeShortcuts(SetupObject* action, int32_t, uint32_t*) {
  ObjectTable* db = ObjectOwner(action);
  PointerList* processed = SlotPointerList(action, kProcessedList);
  for (uint32_t i = processed->count; i-- > 0;) {
    SetupObject* item = processed->items[i];
    const char16_t* copy = SlotText(item, kShortcutRollbackCopy);
    if (!copy) continue;
    FileJournalDeleteByPattern(db, copy, ObjectId(item), nullptr, false);
    SetRollbackCopy(item, nullptr);
  }
  PointerListFree(processed);
  return kResultDone;
}

// Every processed shortcut back as it was, last first: the new file goes, the copy moves back.
int32_t RollBackShortcuts(SetupObject* action, int32_t, uint32_t*) {
  ObjectTable* db = ObjectOwner(action);
  PointerList* processed = SlotPointerList(action, kProcessedList);
  for (uint32_t i = processed->count; i-- > 0;) {
    SetupObject* item = processed->items[i];
    const char16_t* path = Text(SlotText(item, kShortcutPath));
    if (*path) FileJournalDeleteByPattern(db, path, ObjectId(item), nullptr, false);
    SetSlotU32(item, kItemInstalledState, 0);
    const char16_t* copy = SlotText(item, kShortcutRollbackCopy);
    if (copy && Sys().MoveFileExW(W(copy), W(path), MOVEFILE_COPY_ALLOWED)) {
      // The shortcut found before is in place again.
      SetSlotU32(item, kItemInstalledState, 1);
      TraceList(TR("A0044"), 1, path);
    }
    SetRollbackCopy(item, nullptr);
  }
  PointerListFree(processed);
  return kResultDone;
}

const ActionMethods kCreateShortcutsMethods = {
    CreateShortcuts,    // run
    FinalizeShortcuts,  // finalize
    RollBackShortcuts,  // rollback
};

const ActionMethods kRemoveShortcutsMethods = {
    RemoveShortcuts,    // run
    FinalizeShortcuts,  // finalize
    RollBackShortcuts,  // rollback
};

}  // namespace

void ShortcutActionsRegister() {
  ClassSetActionMethods(TagOf("a117"), &kCreateShortcutsMethods);
  ClassSetActionMethods(TagOf("a118"), &kRemoveShortcutsMethods);
}
