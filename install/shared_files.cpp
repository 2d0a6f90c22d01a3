#include "install/shared_files.h"

#include <windows.h>

#include <vector>

#include "expr/installable_item.h"
#include "expr/variables.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"

namespace {

const wchar_t kSharedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";
constexpr uint32_t kVarPendingFailure = 513;

bool IsShared(const SetupObject* file) { return SlotU32(file, kFileFlags) & kFileFlagShared; }

const char16_t* PathOf(const SetupObject* file) {
  const char16_t* path = SlotText(file, kFileTargetPath);
  return path ? path : u"";
}

DWORD ReadCount(HKEY key, const char16_t* path) {
  DWORD count = 0, type = 0, size = sizeof count;
  if (RegQueryValueExW(key, W(path), nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0;
  return count;
}

// The shared-count key of the native registry view.
LONG OpenShared(REGSAM access, HKEY* key, bool create) {
  access |= KEY_WOW64_64KEY;
  if (create) return Sys().RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, 0, access, nullptr, key, nullptr);
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, access, key);
}

// The part of a pending-operation path that is compared: without a leading "\??\".
const char16_t* Comparable(const char16_t* path) {
  return (path[0] == u'\\' && path[1] == u'?' && path[2] == u'?' && path[3] == u'\\') ? path + 4 : path;
}

}  // namespace

void SharedCountIncrement(const SetupObject* file) {
  if (!IsShared(file)) return;
  HKEY key;
  if (OpenShared(KEY_QUERY_VALUE | KEY_SET_VALUE, &key, true) != ERROR_SUCCESS) return;
  DWORD count = ReadCount(key, PathOf(file));
  SessionState* s = SessionCurrent();
  if (!(count && s && SessionRunMode(s) == kRunModeRepair)) {
    ++count;
    LONG err = Sys().RegSetValueExW(key, W(PathOf(file)), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    Trace(TR("A2010"), u"%s|%lu|%ld", PathOf(file), count, err);
  }
  RegCloseKey(key);
}

void SharedCountDecrement(const SetupObject* file) {
  if (!IsShared(file)) return;
  HKEY key;
  if (OpenShared(KEY_QUERY_VALUE | KEY_SET_VALUE, &key, false) != ERROR_SUCCESS) return;
  if (SlotInt(file, kItemInstalledState) > 0) {
    DWORD count = ReadCount(key, PathOf(file));
    LONG err;
    if (count > 1) {
      --count;
      err = Sys().RegSetValueExW(key, W(PathOf(file)), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    } else {
      count = 0;
      err = Sys().RegDeleteValueW(key, W(PathOf(file)));
    }
    Trace(TR("A2011"), u"%s|%lu|%ld", PathOf(file), count, err);
  }
  RegCloseKey(key);
}

bool SharedCountKeeps(const SetupObject* file) {
  if (!IsShared(file)) return false;
  HKEY key;
  if (OpenShared(KEY_QUERY_VALUE, &key, false) != ERROR_SUCCESS) return false;
  DWORD count = ReadCount(key, PathOf(file));
  RegCloseKey(key);
  if (count && SlotInt(file, kItemInstalledState) >= 1) --count;
  return count != 0;
}

uint32_t PendingDeletionCancel(ObjectTable* db, const char16_t* path) {
  HKEY key;
  LONG err = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
  if (err != ERROR_SUCCESS) return ERROR_SUCCESS;
  std::vector<char16_t> value(1024);
  DWORD type = 0, size = 0;
  for (;;) {
    size = DWORD(value.size() * sizeof(char16_t));
    err = RegQueryValueExW(key, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    if (err != ERROR_MORE_DATA) break;
    value.resize(value.size() * 2);
  }
  RegCloseKey(key);
  if (err != ERROR_SUCCESS || type != REG_MULTI_SZ) return ERROR_SUCCESS;
  value.resize(size / sizeof(char16_t) + 2, 0);  // terminated even when the stored value is not
  char16_t shortPath[kInstallPathCapacity] = u"";
  if (!GetShortPathNameW(W(path), W(shortPath), DWORD(kInstallPathCapacity))) shortPath[0] = 0;

  // Walk the pairs (source, destination), keeping all but the pending deletions of the path.
  std::vector<char16_t> kept;
  bool removed = false;
  const char16_t* p = value.data();
  const char16_t* end = value.data() + size / sizeof(char16_t);
  while (p < end && *p) {
    const char16_t* source = p;
    const char16_t* destination = source + TextLength(source) + 1;
    if (destination >= end) break;
    const char16_t* next = destination + TextLength(destination) + 1;
    const char16_t* compared = Comparable(source);
    bool match = !*destination && (TextEqualNoCase(compared, path) || (*shortPath && TextEqualNoCase(compared, shortPath)));
    if (match) removed = true;
    else kept.insert(kept.end(), source, next);
    p = next;
  }
  if (!removed) return ERROR_SUCCESS;
  kept.push_back(0);
  err = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
  if (err == ERROR_SUCCESS) {
    if (kept.size() * sizeof(char16_t) > 2)
      err = Sys().RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                                 DWORD(kept.size() * sizeof(char16_t)));
    else
      err = Sys().RegDeleteValueW(key, kPendingValue);
    RegCloseKey(key);
  }
  Trace(TR("A2012"), u"%s|%ld", path, err);
  if (err != ERROR_SUCCESS) VariableSetInt(db, kVarPendingFailure, 1);
  return uint32_t(err);
}
