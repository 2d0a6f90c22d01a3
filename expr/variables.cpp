#include "expr/variables.h"

#include "database/localized_text.h"
#include "database/pointer_list.h"
#include "expr/database_resolver.h"
#include "expr/functions.h"
#include "expr/main_window.h"
#include "runtime/fs_redirection.h"
#include "runtime/heap.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

uint16_t g_language;
VariableSessionHooks g_hooks;
bool g_recomputing;

constexpr size_t kValueCapacity = 1024;  // for the short values the side effects read

int CompareName(const void* key, const SetupObject* variable) {
  return TextCompareNoCase(static_cast<const char16_t*>(key), VariableName(variable));
}

bool IsUntraced(uint32_t id) { return id == 500 || id == 501 || id == 504 || id == 528; }

const char16_t* Shown(const SetupObject* variable, const char16_t* value) {
  return (SlotU32(variable, kSymbFlags) & kSymbSecret) && *value ? u"*HIDDEN*" : value;
}

void StorePlain(SetupObject* variable, const char16_t* text) {
  size_t length = TextLength(text);
  auto* copy = static_cast<char16_t*>(MemAllocFlags((length + 1) * sizeof(char16_t), kMemZero | kMemMustSucceed));
  TextCopy(copy, copy + length, text);
  LocalizedText* value = SlotLocalized(variable, kSymbValue);
  LocalizedTextFree(value);
  value->text = copy;
}

void Notify(SetupObject* variable, const char16_t* text) {
  if (HWND main = ExprMainWindow()) SetTimer(main, kVariableRefreshTimer, 10, nullptr);
  uint32_t count = SlotU32(variable, kSymbListenerCount);
  for (uint32_t i = 0; i < count && i < kMaxVariableListeners; ++i)
    SendMessageW(SlotPointer<HWND__>(variable, kSymbListeners + i), kVariableChangedMessage,
                 reinterpret_cast<WPARAM>(variable), reinterpret_cast<LPARAM>(text));
}

SetupObject* FindById(ObjectTable* db, uint32_t id) {
  if (db)
    for (uint32_t i = 0; i < db->variables.count; ++i)
      if (SlotU32(db->variables.items[i], kSymbId) == id) return db->variables.items[i];
  return nullptr;
}

// 427 the root of the installation folder that 426 names, 428 the free bytes there, 429 those
// less the bytes needed (430), or 0.
void RecomputeFreeSpace(ObjectTable* db) {
  if (g_recomputing) return;
  g_recomputing = true;
  char16_t name[kValueCapacity], folder[kValueCapacity], root[kValueCapacity];
  VariableValue(db, 426, name, name + kValueCapacity - 1);
  SetupObject* target = *name ? VariableFind(db, name) : nullptr;
  if (target) {
    VariableValueOf(db, target, folder, folder + kValueCapacity - 1);
    char16_t* rootEnd = TextCopyN(root, root + kValueCapacity - 2, folder, PathRootLength(folder));
    VariableSet(db, 427, root);
    ULARGE_INTEGER available{};
    if (rootEnd > root && rootEnd[-1] != u'\\') TextCopy(rootEnd, root + kValueCapacity - 1, u"\\");
    FsRedirectionScope native;
    if (*root && !GetDiskFreeSpaceExW(reinterpret_cast<LPCWSTR>(root), &available, nullptr, nullptr))
      Trace(TR("W1513"), u"%s|%lu", root, GetLastError());
    uint64_t required = VariableU64(db, 430);
    VariableSetU64(db, 428, available.QuadPart);
    VariableSetU64(db, 429, available.QuadPart > required ? available.QuadPart - required : 0);
  }
  g_recomputing = false;
}

void SideEffects(ObjectTable* db, SetupObject* variable) {
  uint32_t id = SlotU32(variable, kSymbId);
  if (id == 505) {
    int level = VariableInt(db, 505);
    VariableSetInt(db, 512, level == 0 ? 5 : 4 - level);
    if (g_hooks.ui_level_changed) g_hooks.ui_level_changed(level);
  } else if (id == 524) {
    char16_t text[kValueCapacity];
    if (VariableValueOf(db, variable, text, text + kValueCapacity - 1) != text && g_hooks.session_text_changed)
      g_hooks.session_text_changed(text);
  }
  if (id == 426) return RecomputeFreeSpace(db);
  // Every change of a variable asks whether it is the installation folder: without a variable 426
  // the answer is no, without a warning in the log for each change.
  SetupObject* folder_name = FindById(db, 426);
  if (!folder_name) return;
  char16_t designated[kValueCapacity];
  VariableValueOf(db, folder_name, designated, designated + kValueCapacity - 1);
  if (*designated && TextEqualNoCase(designated, VariableName(variable))) RecomputeFreeSpace(db);
}

}  // namespace

void VariablesMeasureFreeSpace(ObjectTable* db) { RecomputeFreeSpace(db); }

void VariablesSetLanguage(uint16_t language) { g_language = language; }
uint16_t VariablesLanguage() { return g_language; }
void VariablesSetSessionHooks(const VariableSessionHooks* hooks) { g_hooks = hooks ? *hooks : VariableSessionHooks{}; }

const char16_t* VariableName(const SetupObject* variable) {
  const char16_t* name = SlotText(variable, kSymbName);
  return name ? name : u"";
}

SetupObject* VariableFind(ObjectTable* db, const char16_t* name) {
  SetupObject* variable = db && name ? PointerListSearch(&db->variables, name, CompareName) : nullptr;
  if (!variable) Trace(TR("W1510"), u"%s", name ? name : u"");
  return variable;
}

SetupObject* VariableFindById(ObjectTable* db, uint32_t id) {
  SetupObject* variable = FindById(db, id);
  if (!variable) Trace(TR("W1511"), u"%lu", id);
  return variable;
}

const char16_t* VariableRawValue(const SetupObject* variable) {
  return LocalizedTextFor(SlotLocalized(variable, kSymbValue), g_language);
}

char16_t* VariableValueOf(ObjectTable* db, const SetupObject* variable, char16_t* start, char16_t* end) {
  if (!variable) return TextCopy(start, end, u"");
  return Substitute(db, VariableRawValue(variable), start, end);
}

char16_t* VariableValue(ObjectTable* db, uint32_t id, char16_t* start, char16_t* end) {
  return VariableValueOf(db, VariableFindById(db, id), start, end);
}

int32_t VariableInt(ObjectTable* db, uint32_t id) {
  char16_t text[kValueCapacity];
  VariableValue(db, id, text, text + kValueCapacity - 1);
  return NumberParse32(text);
}

uint32_t VariableU32(ObjectTable* db, uint32_t id) {
  char16_t text[kValueCapacity];
  VariableValue(db, id, text, text + kValueCapacity - 1);
  return NumberParseU32(text);
}

uint64_t VariableU64(ObjectTable* db, uint32_t id) {
  char16_t text[kValueCapacity];
  VariableValue(db, id, text, text + kValueCapacity - 1);
  return NumberParseU64(text);
}

void VariableSetObject(ObjectTable* db, SetupObject* variable, const char16_t* text) {
  if (!variable) return;
  if (!text) text = u"";
  const char16_t* old = VariableRawValue(variable);
  if (TextCompare(old, text) == 0) return;
  uint32_t id = SlotU32(variable, kSymbId);
  if (!IsUntraced(id)) Trace(TR("A1512"), u"%s|%s|%s", VariableName(variable), Shown(variable, old), Shown(variable, text));
  StorePlain(variable, text);
  Notify(variable, VariableRawValue(variable));
  SideEffects(db, variable);
}

void VariableSet(ObjectTable* db, uint32_t id, const char16_t* text) {
  VariableSetObject(db, VariableFindById(db, id), text);
}

void VariableSetInt(ObjectTable* db, uint32_t id, int32_t value) {
  char16_t text[16];
  TextFormat(text, text + 15, u"%d", value);
  VariableSet(db, id, text);
}

void VariableSetU32(ObjectTable* db, uint32_t id, uint32_t value) {
  char16_t text[16];
  TextFormat(text, text + 15, u"%lu", value);
  VariableSet(db, id, text);
}

void VariableSetU64(ObjectTable* db, uint32_t id, uint64_t value) {
  char16_t text[24];
  TextFormat(text, text + 23, u"%I64u", value);
  VariableSet(db, id, text);
}

void VariableReexpand(ObjectTable* db, uint32_t id) {
  SetupObject* variable = VariableFindById(db, id);
  if (!variable) return;
  auto* text = static_cast<char16_t*>(MemAllocFlags(kSubstituteBufferCapacity * sizeof(char16_t), kMemMustSucceed));
  VariableValueOf(db, variable, text, text + kSubstituteBufferCapacity - 1);
  VariableSetObject(db, variable, text);
  MemFree(text);
}

bool VariableListen(SetupObject* variable, HWND window) {
  uint32_t count = SlotU32(variable, kSymbListenerCount);
  for (uint32_t i = 0; i < count; ++i)
    if (SlotPointer<HWND__>(variable, kSymbListeners + i) == window) return true;
  if (count >= kMaxVariableListeners) return false;
  SetSlotPointer(variable, kSymbListeners + count, window);
  SetSlotU32(variable, kSymbListenerCount, count + 1);
  return true;
}

void VariableUnlisten(SetupObject* variable, HWND window) {
  uint32_t count = SlotU32(variable, kSymbListenerCount);
  for (uint32_t i = 0; i < count; ++i) {
    if (SlotPointer<HWND__>(variable, kSymbListeners + i) != window) continue;
    for (uint32_t j = i + 1; j < count; ++j)
      SetSlotPointer(variable, kSymbListeners + j - 1, SlotPointer<HWND__>(variable, kSymbListeners + j));
    SetSlotPointer(variable, kSymbListeners + count - 1, nullptr);
    SetSlotU32(variable, kSymbListenerCount, count - 1);
    return;
  }
}
