#include "install/registry_actions.h"

#include <windows.h>

#include <cstring>

#include "actions/abort_on_failure.h"
#include "actions/action_object.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/field_types.h"
#include "database/localized_text.h"
#include "database/pointer_list.h"
#include "expr/database_resolver.h"
#include "expr/installable_item.h"
#include "expr/registry_text.h"
#include "expr/variables.h"
#include "install/registry_items.h"
#include "install/registry_key.h"
#include "install/registry_value.h"
#include "install/setting_value.h"
#include "runtime/heap.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"

namespace {

enum : unsigned {
  kProcessedList = 22,          // a005: the items the action changed (pointer list, slots 22-24)
  kInstallationScopeFlags = 15, // inst u32
};
constexpr uint32_t kScopeFlagPerUserClasses = 0x8;
constexpr uint32_t kFailureRegistry = 0x8;  // a system-configuration category: message 282
constexpr uint32_t kItemFlagKeepWithU = 0x1;
constexpr size_t kTextCapacity = 65536;
constexpr uint32_t kUniqueNameLimit = 2047;

// A heap text buffer of kTextCapacity characters.
struct TextBuffer {
  char16_t* start = static_cast<char16_t*>(MemAlloc(kTextCapacity * sizeof(char16_t)));
  ~TextBuffer() { MemFree(start); }
  char16_t* end() const { return start + kTextCapacity - 1; }
};

const char16_t* Text(const char16_t* text) { return text ? text : u""; }

void SetHeapText(SetupObject* item, unsigned slot, const char16_t* text) {
  FieldFree(item, slot, kFieldText);
  size_t length = TextLength(text) + 1;
  auto* copy = static_cast<char16_t*>(MemAlloc(length * sizeof(char16_t)));
  if (copy) TextCopy(copy, copy + length - 1, text);
  SetSlotPointer(item, slot, copy);
}

bool KeptByU(const SetupObject* item) {
  SessionState* s = SessionCurrent();
  return s && s->keep_flag && (SlotU32(item, kItemFlags) & kItemFlagKeepWithU);
}

bool Cancelled() {
  SessionState* s = SessionCurrent();
  return s && s->cancel_requested;
}

bool PerUserClasses(ObjectTable* db) {
  return db->installation && (SlotU32(db->installation, kInstallationScopeFlags) & kScopeFlagPerUserClasses);
}

// A failure of a key or a value: true when the installation is aborted.
bool Aborts() { return AbortOnFailure(kFailureRegistry, true); }

// --- Rollback records -------------------------------------------------------------------------------

// What an action changed, for its rollback: a value with the bytes it held before (kept as bytes, so
// any size and type comes back exactly), or a key the action created. The records of all actions of
// the run, newest first: a rollback puts the values back before it deletes the keys made for them.
struct RollbackRecord {
  RollbackRecord* older;
  const SetupObject* action;
  SetupObject* item;  // the value item, or the key item the action created
  bool created_key;
  bool exists;
  uint32_t type;
  uint32_t size;
  uint8_t data[1];
};
RollbackRecord* g_records;

void KeepRecord(const SetupObject* action, SetupObject* item, bool created_key, const RegistryValueBytes& bytes) {
  auto* record = static_cast<RollbackRecord*>(MemAlloc(sizeof(RollbackRecord) + bytes.size));
  if (!record) return;
  *record = RollbackRecord{g_records, action, item, created_key, bytes.exists, bytes.type, bytes.size, {0}};
  if (bytes.size) memcpy(record->data, bytes.data, bytes.size);
  g_records = record;
}

void KeepForRollback(const SetupObject* action, SetupObject* value, const RegistryValueBytes& bytes) {
  KeepRecord(action, value, false, bytes);
}

void KeepCreatedKey(const SetupObject* action, SetupObject* key) {
  KeepRecord(action, key, true, RegistryValueBytes{false, 0, 0, nullptr});
}

// Calls `visit` for each record of the action, newest first, and frees them.
void TakeRecords(const SetupObject* action, void (*visit)(ObjectTable* db, const RollbackRecord& record),
                 ObjectTable* db) {
  RollbackRecord** link = &g_records;
  while (*link) {
    RollbackRecord* record = *link;
    if (record->action != action) {
      link = &record->older;
      continue;
    }
    *link = record->older;
    if (visit) visit(db, *record);
    MemFree(record);
  }
}

// --- Key items --------------------------------------------------------------------------------------

// The key path of the item, from its variable when it names one (D0003); null when the variable
// does not exist (E0042).
const char16_t* KeyPath(ObjectTable* db, SetupObject* key) {
  const char16_t* variable_name = SlotText(key, kRegKeyVariable);
  if (variable_name && *variable_name) {
    SetupObject* variable = VariableFind(db, variable_name);
    if (!variable) {
      Trace(TR("E0042"), u"%s", variable_name);
      return nullptr;
    }
    TextBuffer path;
    if (!path.start) return nullptr;
    VariableValueOf(db, variable, path.start, path.end());
    BuilderSetText(key, kRegKeyPath, path.start);
    TraceList(TR("D0003"), 2, variable_name, path.start);
  }
  return Text(SlotText(key, kRegKeyPath));
}

void KeyFailed(SetupObject* key, const char16_t* path, uint32_t err) {
  SetSlotU32(key, kItemInstalledState, uint32_t(-1));
  Trace(TR("E0017"), u"%s|%d|%lu", path, SlotInt(key, kRegKeyView), err);
}

// Deletes the key at its resolved path and view when it holds nothing (A0040, installed state 0).
void DeleteKeyWhenEmpty(SetupObject* key) {
  const char16_t* path = Text(SlotText(key, kRegKeyPath));
  int32_t view = SlotInt(key, kRegKeyActualView);
  if (!RegistryDeleteEmptyKey(path, view, false)) return;
  SetSlotU32(key, kItemInstalledState, 0);
  Trace(TR("A0040"), u"%s|%d", path, view);
}

// Returns false when the installation is to stop.
bool InstallKey(SetupObject* action, ObjectTable* db, SetupObject* key) {
  int32_t mode = SlotInt(key, kItemEffectiveMode);
  if (mode < 1 || KeptByU(key)) return true;
  const char16_t* path = KeyPath(db, key);
  if (!path) return !Aborts();
  HKEY handle;
  DWORD disposition;
  int32_t actual = SlotInt(key, kRegKeyActualView);
  uint32_t err = RegistryCreateKey(path, nullptr, SlotInt(key, kRegKeyView), KEY_ALL_ACCESS, &handle, &disposition,
                                   &actual);
  if (err != ERROR_SUCCESS) {
    KeyFailed(key, path, err);
    return !Aborts();
  }
  RegCloseKey(handle);
  SetSlotU32(key, kRegKeyActualView, uint32_t(actual));
  SetSlotU32(key, kItemInstalledState, disposition == REG_CREATED_NEW_KEY ? 1 : 3);
  if (disposition == REG_CREATED_NEW_KEY) KeepCreatedKey(action, key);
  if (mode <= 5) Trace(TR("A0041"), u"%s|%d", path, actual);
  return true;
}

bool RemoveKey(ObjectTable* db, SetupObject* key) {
  int32_t mode = SlotInt(key, kItemEffectiveMode);
  if (mode >= 0 || KeptByU(key)) return true;
  const char16_t* path = KeyPath(db, key);
  if (!path) return !Aborts();
  HKEY handle;
  int32_t actual = SlotInt(key, kRegKeyActualView);
  uint32_t err = RegistryOpenKey(path, nullptr, SlotInt(key, kRegKeyView), KEY_ALL_ACCESS | DELETE, &handle, &actual);
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
    SetSlotU32(key, kItemInstalledState, 0);
    return true;
  }
  if (err != ERROR_SUCCESS) {
    KeyFailed(key, path, err);
    return !Aborts();
  }
  SetSlotU32(key, kRegKeyActualView, uint32_t(actual));
  if (mode == -3) RegistryDeleteSubkeys(handle, actual);
  if (mode == -3 || mode == -2) RegistryDeleteValues(handle);
  RegCloseKey(handle);
  if (mode >= -3 && mode <= -1) DeleteKeyWhenEmpty(key);
  return true;
}

// --- Value items ------------------------------------------------------------------------------------

// The name and data in the session's language with variables resolved, once per run.
bool Resolve(ObjectTable* db, SetupObject* value) {
  if (SlotText(value, kSettingResolvedName)) return true;
  TextBuffer text;
  if (!text.start) return false;
  uint16_t language = VariablesLanguage();
  Substitute(db, LocalizedTextFor(SlotLocalized(value, kSettingName), language), text.start, text.end());
  SetHeapText(value, kSettingResolvedName, text.start);
  Substitute(db, LocalizedTextFor(SlotLocalized(value, kSettingData), language), text.start, text.end());
  SetHeapText(value, kSettingResolvedData, text.start);
  return SlotText(value, kSettingResolvedName) && SlotText(value, kSettingResolvedData);
}

// "Name%#" and "Name%?" with mode 1: the first of Name1, Name2, … ("%?": Name, Name1, …) that the key
// does not hold, stored as the item's name.
void ChooseUniqueName(SetupObject* value, const char16_t* path, int32_t view) {
  const char16_t* name = SlotText(value, kSettingResolvedName);
  size_t length = TextLength(name);
  if (length < 2 || name[length - 2] != u'%' || (name[length - 1] != u'#' && name[length - 1] != u'?')) return;
  uint32_t first = name[length - 1] == u'#' ? 1 : 0;
  char16_t chosen[512];
  char16_t* stem_end = TextCopyN(chosen, chosen + 511, name, length - 2);
  HKEY key;
  int32_t actual = view;
  uint32_t err = RegistryOpenKey(path, nullptr, view, KEY_QUERY_VALUE, &key, &actual);
  if (err == ERROR_SUCCESS) {
    for (uint32_t n = first; n <= kUniqueNameLimit; ++n) {
      if (n) TextFormat(stem_end, chosen + 511, u"%lu", n);
      else *stem_end = 0;
      if (!RegistryValueExists(key, chosen)) break;
    }
    RegCloseKey(key);
  } else if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
    if (first) TextCopy(stem_end, chosen + 511, u"1");
  } else {
    return;
  }
  SetHeapText(value, kSettingResolvedName, chosen);
  BuilderSetLocalized(value, kSettingName, chosen, nullptr, 0);
}

// The value's bytes as hex pairs (MemFree), whatever their number: the saved value of removal mode -4
// puts back exactly what was there.
char16_t* HexText(const RegistryValueBytes& bytes) {
  auto* text = static_cast<char16_t*>(MemAlloc((2 * size_t(bytes.size) + 1) * sizeof(char16_t)));
  if (!text) return nullptr;
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  for (uint32_t i = 0; i < bytes.size; ++i) {
    text[2 * i] = kDigits[bytes.data[i] >> 4];
    text[2 * i + 1] = kDigits[bytes.data[i] & 0xF];
  }
  text[2 * size_t(bytes.size)] = 0;
  return text;
}

// Keeps the value found before the first installation for removal mode -4: its bytes and exact type
// when it existed, else the empty saved value of an absent one.
void SaveForRestore(SetupObject* value, const RegistryValueBytes& bytes) {
  uint32_t flags = SlotU32(value, kSettingFlags) | kSettingFlagSaved;
  char16_t* hex = bytes.exists ? HexText(bytes) : nullptr;
  if (hex) flags |= kSettingFlagSavedBytes;
  BuilderSetText(value, kSettingSaved, hex ? hex : u"");
  MemFree(hex);
  SetSlotU32(value, kSettingFlags, flags);
}

// Reads the value as it is now into `bytes`, as text into slot 27; the installed state and types,
// and the saved value for removal mode -4.
void RecordExisting(SetupObject* value, const char16_t* path, int32_t view, RegistryValueBytes* found) {
  const char16_t* name = SlotText(value, kSettingResolvedName);
  RegistryValueBytes& bytes = *found;
  int32_t actual = view;
  RegistryReadValueBytes(path, name, view, &bytes, &actual);
  TextBuffer text;
  if (text.start) {
    RegistryDataText(text.start, text.end(), bytes.type, bytes.data, bytes.size);
    SetHeapText(value, kSettingExisting, text.start);
  }
  uint32_t type = bytes.exists ? bytes.type : 0;
  SetSlotU32(value, kItemInstalledState, bytes.exists ? 2 : 1);
  SetSlotU32(value, kRegValueFoundType, type);
  uint32_t flags = SlotU32(value, kSettingFlags);
  if (!(flags & kSettingFlagSaved)) {
    SetSlotU32(value, kRegValuePreviousType, type);
    if (SlotInt(value, kItemRemovalMode) == -4) SaveForRestore(value, bytes);
  }
}

// Removal mode -4 with the saved bytes: the value found before the first installation is written
// back with its bytes and type, unless it is there unchanged. Returns false when the installation is
// to stop.
bool RestoreSavedBytes(SetupObject* action, SetupObject* value, const char16_t* path, int32_t view,
                       const RegistryValueBytes& found) {
  const char16_t* hex = Text(SlotText(value, kSettingSaved));
  size_t capacity = TextLength(hex) / 2 + 1;
  auto* data = static_cast<uint8_t*>(MemAlloc(capacity));
  if (!data) return !Aborts();
  RegistryValueBytes saved{true, SlotU32(value, kRegValuePreviousType), uint32_t(HexBytesParse(hex, data, capacity)),
                           data};
  bool same = found.exists && found.type == saved.type && found.size == saved.size &&
              (!saved.size || memcmp(found.data, saved.data, saved.size) == 0);
  uint32_t err = ERROR_SUCCESS;
  if (same) {
    SetSlotU32(value, kItemInstalledState, 3);
  } else {
    PointerListAppend(SlotPointerList(action, kProcessedList), value);
    KeepForRollback(action, value, found);
    err = RegistryRestoreValueBytes(path, SlotText(value, kSettingResolvedName), view, saved);
    Trace(TR("I2902"), u"%s|%s|%lu|%lu|%lu", path, SlotText(value, kSettingResolvedName), saved.type, saved.size, err);
  }
  MemFree(data);
  if (err == ERROR_SUCCESS) return true;
  SetSlotU32(value, kItemInstalledState, uint32_t(-1));
  return !Aborts();
}

// Writes the new value, or deletes it: mode -4 writes with the type found before the first
// installation (deleting a value that was not there), other modes with the item's type, writing an
// empty text only when installing.
uint32_t WriteNewValue(SetupObject* value, const char16_t* path, int32_t view, const char16_t* text, int32_t mode) {
  uint32_t type = SlotU32(value, kRegValueType);
  bool write = mode > 0;
  if (mode == -4) {
    type = SlotU32(value, kRegValuePreviousType);
    write = type != 0;
  }
  int32_t actual = view;
  return RegistryWriteValueText(path, SlotText(value, kSettingResolvedName), text, view, type, write, &actual);
}

// Returns false when the installation is to stop. Items whose mode is for the other direction are
// left untouched.
bool ProcessValue(SetupObject* action, ObjectTable* db, SetupObject* value, bool installing) {
  SetSlotU32(value, kSettingFlags, SlotU32(value, kSettingFlags) & ~kSettingFlagResolved);
  int32_t mode = SlotInt(value, kItemEffectiveMode);
  if (!SettingModeApplies(mode, installing) || KeptByU(value)) return true;
  if (!Resolve(db, value)) return !Aborts();
  SetupObject* key = ObjectTableFind(db, TagOf("regk"), SlotU64(value, kRegValueKey));
  if (!key) return true;
  const char16_t* path = Text(SlotText(key, kRegKeyPath));
  int32_t view = SlotInt(key, kRegKeyActualView);
  if (mode == 1) ChooseUniqueName(value, path, view);
  RegistryValueBytes found;
  RecordExisting(value, path, view, &found);
  uint32_t flags = SlotU32(value, kSettingFlags);
  if (mode == -4 && (flags & kSettingFlagSavedBytes)) {
    bool go_on = RestoreSavedBytes(action, value, path, view, found);
    RegistryValueBytesFree(&found);
    return go_on;
  }
  SettingInput in{SlotText(value, kSettingExisting), SlotText(value, kSettingResolvedData),
                  char16_t(SlotU32(value, kSettingSeparator)),
                  (flags & kSettingFlagSaved) ? Text(SlotText(value, kSettingSaved)) : nullptr, mode};
  TextBuffer computed;
  bool changes = computed.start && SettingComputeValue(in, computed.start, computed.end());
  if (changes) {
    PointerListAppend(SlotPointerList(action, kProcessedList), value);
    KeepForRollback(action, value, found);
  }
  RegistryValueBytesFree(&found);
  if (!computed.start) return !Aborts();
  if (!changes) {
    SetSlotU32(value, kItemInstalledState, 3);
    return true;
  }
  if (WriteNewValue(value, path, view, computed.start, mode) == ERROR_SUCCESS) return true;
  SetSlotU32(value, kItemInstalledState, uint32_t(-1));
  return !Aborts();
}

int32_t ProcessValues(SetupObject* action, ObjectTable* db, bool installing) {
  uint32_t count;
  SetupObject** values = ObjectTableSortedOfClass(db, TagOf("regv"), &count);
  int32_t result = kResultDone;
  for (uint32_t i = 0; i < count && result == kResultDone; ++i)
    if (!ProcessValue(action, db, values[i], installing)) result = kResultFailed;
  MemFree(values);
  return result;
}

int32_t Install(SetupObject* action, ObjectTable* db) {
  PointerList* keys = &db->registry_keys;
  for (uint32_t i = 0; i < keys->count; ++i)
    if (!InstallKey(action, db, keys->items[i])) return kResultFailed;
  return ProcessValues(action, db, true);
}

int32_t Remove(SetupObject* action, ObjectTable* db) {
  int32_t result = ProcessValues(action, db, false);
  if (result != kResultDone) return result;
  PointerList* keys = &db->registry_keys;
  for (uint32_t i = keys->count; i-- > 0;)
    if (!RemoveKey(db, keys->items[i])) return kResultFailed;
  return kResultDone;
}

int32_t Run(SetupObject* action, ObjectTable* db, bool installing) {
  if (Cancelled()) return kResultCancelled;
  ExtensionSendEvent(installing ? kEventRegistryInstalling : kEventRegistryRemoving, 0);
  PointerListFree(SlotPointerList(action, kProcessedList));
  bool classes = PerUserClasses(db);
  if (classes) RegistryRedirectClasses(true);
  int32_t result = installing ? Install(action, db) : Remove(action, db);
  if (classes) RegistryRedirectClasses(false);
  if (result != kResultDone) return result;
  ExtensionSendEvent(installing ? kEventRegistryInstalled : kEventRegistryRemoved, 0);
  return kResultDone;
}

int32_t InstallRegistrySettings(SetupObject* action, ObjectTable* db, uint32_t*) { return Run(action, db, true); }
int32_t RemoveRegistrySettings(SetupObject* action, ObjectTable* db, uint32_t*) { return Run(action, db, false); }

void PutBack(ObjectTable* db, const RollbackRecord& record) {
  if (record.created_key) {
    DeleteKeyWhenEmpty(record.item);  // a key someone filled meanwhile stays
    return;
  }
  SetupObject* key = ObjectTableFind(db, TagOf("regk"), SlotU64(record.item, kRegValueKey));
  if (!key) return;
  RegistryValueBytes bytes{record.exists, record.type, record.size, const_cast<uint8_t*>(record.data)};
  const char16_t* path = Text(SlotText(key, kRegKeyPath));
  const char16_t* name = Text(SlotText(record.item, kSettingResolvedName));
  uint32_t err = RegistryRestoreValueBytes(path, name, SlotInt(key, kRegKeyActualView), bytes);
  Trace(TR("I2901"), u"%s|%s|%d|%lu|%lu", path, name, record.exists ? 1 : 0, record.type, err);
  SetSlotU32(record.item, kItemInstalledState, 0);
}

// Puts back every value the action changed, last first, with the bytes and type found before, then
// deletes the keys it created that are empty again.
int32_t RollBackRegistrySettings(SetupObject* action, int32_t, uint32_t*) {
  ObjectTable* db = ObjectOwner(action);
  bool classes = PerUserClasses(db);
  if (classes) RegistryRedirectClasses(true);
  TakeRecords(action, PutBack, db);
  PointerListFree(SlotPointerList(action, kProcessedList));
  if (classes) RegistryRedirectClasses(false);
  return kResultDone;
}

// The installation is complete: the values kept for the rollback are no longer needed.
int32_t FinalizeRegistrySettings(SetupObject* action, int32_t, uint32_t*) {
  TakeRecords(action, nullptr, nullptr);
  return kResultDone;
}

const ActionMethods kInstallRegistryMethods = {
    InstallRegistrySettings,   // run
    FinalizeRegistrySettings,  // finalize
    RollBackRegistrySettings,  // rollback
};

const ActionMethods kRemoveRegistryMethods = {
    RemoveRegistrySettings,    // run
    FinalizeRegistrySettings,  // finalize
    RollBackRegistrySettings,  // rollback
};

}  // namespace

void RegistryActionsRegister() {
  ClassSetActionMethods(TagOf("a119"), &kInstallRegistryMethods);
  ClassSetActionMethods(TagOf("a120"), &kRemoveRegistryMethods);
}
