// a142 Resolving installation paths, a135 Creating folders and a136 Removing folders.
#include "install/folder_actions.h"

#include <windows.h>

#include "actions/abort_on_failure.h"
#include "actions/action_object.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/localized_text.h"
#include "database/pointer_list.h"
#include "expr/database_resolver.h"
#include "expr/installable_item.h"
#include "expr/variables.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "install/folders.h"
#include "install/target_name.h"
#include "runtime/fs_redirection.h"
#include "runtime/path_clean.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"

namespace {

// Registry key items: the variable whose value is the key's path, and the resolved path.
enum : unsigned {
  kKeyVariable = 16,
  kKeyPath = 17,
};

const char16_t* TextOf(const SetupObject* object, unsigned slot) {
  const char16_t* text = SlotText(object, slot);
  return text ? text : u"";
}

int CompareVariable(const SetupObject* a, const SetupObject* b, unsigned slot) {
  return TextCompareNoCase(TextOf(a, slot), TextOf(b, slot));
}

// Whether a text written from `start` ended at `end` filled the buffer (it may have been cut).
bool Filled(const char16_t* start, const char16_t* end) { return size_t(end - start) >= kInstallPathCapacity - 1; }

// The variable's value, substituted and cleaned, stored as the item's path: 0; 203 (E0041, E0042)
// when the variable does not exist; 206 when the value fills the buffer: it may have been cut, and a
// cut path names another folder or key than the one meant, so the item's path stays empty.
uint32_t ResolveFromVariable(ObjectTable* db, SetupObject* item, unsigned variable_slot, unsigned path_slot) {
  SetupObject* variable = VariableFind(db, TextOf(item, variable_slot));
  if (!variable) return ERROR_ENVVAR_NOT_FOUND;
  char16_t path[kInstallPathCapacity];
  char16_t* end = VariableValueOf(db, variable, path, path + kInstallPathCapacity - 1);
  bool cut = Filled(path, end);
  PathClean(path);
  BuilderSetText(item, path_slot, cut ? u"" : path);
  return cut ? ERROR_FILENAME_EXCED_RANGE : ERROR_SUCCESS;
}

// A path refused (E2008): cut, or for a folder not a full path of plain names. Nothing may be created
// in it.
bool PathRefused(const SetupObject* item, unsigned variable_slot, unsigned path_slot, uint32_t err) {
  if (!err) return false;
  Trace(TR("E2008"), u"%s|%s|%lu", TextOf(item, variable_slot), TextOf(item, path_slot), err);
  return true;
}

bool ResolveFolders(ObjectTable* db) {
  PointerListSort(&db->folders, [](const SetupObject* a, const SetupObject* b) { return CompareVariable(a, b, kFolderVariable); });
  for (uint32_t i = 0; i < db->folders.count; ++i) {
    SetupObject* folder = db->folders.items[i];
    if (SlotU64(folder, kFolderParent) && !SlotPointer<SetupObject>(folder, kFolderParentObject)) {
      Trace(TR("E0055"), u"%s|%I64X", TextOf(folder, kFolderVariable), SlotU64(folder, kFolderParent));
      return false;
    }
    if (*TextOf(folder, kFolderPath) && SlotInt(folder, kItemInstalledState) >= 1) continue;
    uint32_t err = ResolveFromVariable(db, folder, kFolderVariable, kFolderPath);
    if (err == ERROR_ENVVAR_NOT_FOUND) {
      TraceList(TR("E0041"), 1, TextOf(folder, kFolderVariable));
      return false;
    }
    const char16_t* path = TextOf(folder, kFolderPath);
    if (!err && *path) err = FolderPathCheck(path);
    if (PathRefused(folder, kFolderVariable, kFolderPath, err)) return false;
    TraceList(TR("D0002"), 2, TextOf(folder, kFolderVariable), TextOf(folder, kFolderPath));
  }
  PointerListSort(&db->folders, [](const SetupObject* a, const SetupObject* b) { return CompareVariable(a, b, kFolderPath); });
  return true;
}

// The file's target path: its folder's path joined with its name in the session's language, the
// variables resolved. A name that would leave the folder (E2004) fails the file, not the run: its
// target path stays empty, so nothing is ever written for it.
uint32_t ResolveFile(ObjectTable* db, SetupObject* file) {
  if (*TextOf(file, kFileTargetPath) && SlotInt(file, kItemInstalledState) > 0) return ERROR_SUCCESS;
  const char16_t* stored = LocalizedTextFor(SlotLocalized(file, kFileName), VariablesLanguage());
  SetupObject* folder = SlotPointer<SetupObject>(file, kFileFolderObject);
  if (!folder) {
    Trace(TR("E0043"), u"%s|%016I64X", stored ? stored : u"", SlotU64(file, kFileFolder));
    return ERROR_PATH_NOT_FOUND;
  }
  char16_t name[kInstallPathCapacity];
  char16_t* name_end = Substitute(db, stored ? stored : u"", name, name + kInstallPathCapacity - 1);
  char16_t path[kInstallPathCapacity];
  char16_t* end = TextCopy(path, path + kInstallPathCapacity - 1, TextOf(folder, kFolderPath));
  if (end > path && end[-1] != u'\\') end = TextCopy(end, path + kInstallPathCapacity - 1, u"\\");
  end = TextCopy(end, path + kInstallPathCapacity - 1, name);
  uint32_t err = Filled(name, name_end) || Filled(path, end) ? ERROR_FILENAME_EXCED_RANGE : TargetNameCheck(name);
  if (err) {
    Trace(TR("E2004"), u"%s|%016I64X|%lu", name, ObjectId(file), err);
    BuilderSetText(file, kFileTargetPath, nullptr);
    SetSlotU32(file, kItemInstalledState, uint32_t(-1));
    return err;
  }
  PathClean(path);
  BuilderSetText(file, kFileTargetPath, path);
  TraceList(TR("D0004"), 2, name, path);
  return ERROR_SUCCESS;
}

bool ResolveKeys(ObjectTable* db) {
  PointerListSort(&db->registry_keys, [](const SetupObject* a, const SetupObject* b) { return CompareVariable(a, b, kKeyVariable); });
  for (uint32_t i = 0; i < db->registry_keys.count; ++i) {
    SetupObject* key = db->registry_keys.items[i];
    if (*TextOf(key, kKeyPath) && SlotInt(key, kItemInstalledState) >= 1) continue;
    uint32_t err = ResolveFromVariable(db, key, kKeyVariable, kKeyPath);
    if (err == ERROR_ENVVAR_NOT_FOUND) {
      TraceList(TR("E0042"), 1, TextOf(key, kKeyVariable));
      return false;
    }
    if (PathRefused(key, kKeyVariable, kKeyPath, err)) return false;
    TraceList(TR("D0003"), 2, TextOf(key, kKeyVariable), TextOf(key, kKeyPath));
  }
  PointerListSort(&db->registry_keys, [](const SetupObject* a, const SetupObject* b) { return CompareVariable(a, b, kKeyPath); });
  return true;
}

int32_t ResolvePaths(SetupObject*, ObjectTable* db, uint32_t*) {
  TraceList(TR("I0061"), 0);
  if (!ResolveFolders(db)) {
    AbortOnFailure(kFailureAlways, true);
    return kResultCancelled;
  }
  for (uint32_t i = 0; i < db->files.count; ++i) {
    uint32_t err = ResolveFile(db, db->files.items[i]);
    if (err == ERROR_INVALID_NAME || err == ERROR_BAD_PATHNAME || err == ERROR_FILENAME_EXCED_RANGE) {
      if (AbortOnFailure(kFailureFiles, true)) return kResultFailed;
    } else if (err) {
      AbortOnFailure(kFailureAlways, true);
      return kResultFailed;
    }
  }
  if (!ResolveKeys(db)) {
    AbortOnFailure(kFailureAlways, true);
    return kResultFailed;
  }
  TraceList(TR("I0062"), 0);
  return kResultDone;
}

int32_t CreateFolders(SetupObject*, ObjectTable* db, uint32_t*) {
  for (uint32_t i = 0; i < db->folders.count; ++i) {
    if (InstallCancelled()) return kResultCancelled;
    SetupObject* folder = db->folders.items[i];
    if (SlotInt(folder, kItemEffectiveMode) <= 0) continue;
    if (FolderItemCreate(db, folder) && AbortOnFailure(kFailureFiles, true)) return kResultCancelled;
  }
  return kResultDone;
}

// The depth of a removal by mode: -1 only when empty, -2 its files, -3 everything; other modes leave
// the folder (-1 returned).
int32_t RemovalDepth(int32_t mode) {
  switch (mode) {
    case -1: return 0;
    case -2: return 1;
    case -3: return 3;
    default: return -1;
  }
}

int32_t RemoveFolders(SetupObject*, ObjectTable* db, uint32_t*) {
  SessionState* s = SessionCurrent();
  for (uint32_t i = db->folders.count; i-- > 0;) {
    if (InstallCancelled()) return kResultCancelled;
    SetupObject* folder = db->folders.items[i];
    int32_t mode = SlotInt(folder, kItemEffectiveMode);
    if (mode >= 0 || (s && s->keep_flag && (SlotU32(folder, kItemFlags) & 0x1))) continue;
    int32_t depth = RemovalDepth(mode);
    if (depth < 0) continue;
    const char16_t* path = TextOf(folder, kFolderPath);
    uint32_t err = FolderRemove(path, depth);
    if (!err) {
      TraceList(TR("A0012"), 1, path);
      SetSlotU32(folder, kItemInstalledState, 0);
    } else {
      Trace(TR("W0015"), u"%s|%lu", path, err);
      TraceList(TR("D0058"), 1, path);
      SetSlotU32(folder, kItemInstalledState, uint32_t(-2));
    }
  }
  return kResultDone;
}

int32_t RetryFolderRemovals(SetupObject* action, int32_t, uint32_t*) {
  ObjectTable* db = ObjectOwner(action);
  for (uint32_t i = db->folders.count; i-- > 0;) {
    SetupObject* folder = db->folders.items[i];
    if (SlotInt(folder, kItemInstalledState) != -2) continue;
    TraceList(TR("D0059"), 1, TextOf(folder, kFolderPath));
    FolderRemove(TextOf(folder, kFolderPath), 0);
    SetSlotU32(folder, kItemInstalledState, 0);
  }
  return kResultDone;
}

const ActionMethods kResolvePathsMethods = {
    ResolvePaths,  // run
    nullptr,       // finalize
    nullptr,       // rollback
};

const ActionMethods kCreateFoldersMethods = {
    CreateFolders,  // run
    nullptr,        // finalize: the journal keeps the created folders
    nullptr,        // rollback: the journal deletes them
};

const ActionMethods kRemoveFoldersMethods = {
    RemoveFolders,        // run
    RetryFolderRemovals,  // finalize
    nullptr,              // rollback
};

}  // namespace

void FolderActionsRegister() {
  ClassSetActionMethods(TagOf("a142"), &kResolvePathsMethods);
  ClassSetActionMethods(TagOf("a135"), &kCreateFoldersMethods);
  ClassSetActionMethods(TagOf("a136"), &kRemoveFoldersMethods);
}
