#include "install/registry_key.h"

#include "expr/registry_read.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"

namespace {

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr size_t kNameCapacity = 256;
constexpr size_t kPathCapacity = 2048;

LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

// The view flag that selects an actual view (4 or 5); none on 32-bit Windows.
REGSAM ViewFlag(int32_t actual) {
  if (!RegistryIs64BitWindows()) return 0;
  return actual == kRegistryView64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

using KeyProtectedCheck = BOOL(WINAPI*)(HKEY, LPCWSTR, REGSAM);

// SfcIsKeyProtected of the system's sfc.dll; null when the system has none (nothing is protected).
KeyProtectedCheck ProtectionCheck() {
  static KeyProtectedCheck check;
  static bool looked;
  if (!looked) {
    looked = true;
    HMODULE sfc = LoadLibraryExW(L"sfc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (sfc) check = reinterpret_cast<KeyProtectedCheck>(reinterpret_cast<void*>(GetProcAddress(sfc, "SfcIsKeyProtected")));
  }
  return check;
}

bool Protected(HKEY root, const char16_t* subkey, REGSAM access, REGSAM flag) {
  if (!(access & kWriteRights)) return false;
  KeyProtectedCheck check = ProtectionCheck();
  return check && check(root, W(subkey), flag);
}

LSTATUS OpenIn(HKEY root, const char16_t* subkey, REGSAM access, int32_t actual, HKEY* key) {
  REGSAM flag = ViewFlag(actual);
  if (Protected(root, subkey, access, flag)) return ERROR_ACCESS_DENIED;
  return RegOpenKeyExW(root, W(subkey), 0, access | flag, key);
}

LSTATUS CreateIn(HKEY root, const char16_t* subkey, REGSAM access, int32_t actual, HKEY* key, DWORD* disposition) {
  REGSAM flag = ViewFlag(actual);
  if (Protected(root, subkey, access, flag)) return ERROR_ACCESS_DENIED;
  return Sys().RegCreateKeyExW(root, W(subkey), 0, nullptr, 0, access | flag, nullptr, key, disposition);
}

bool ValueExists(HKEY key, const char16_t* name) {
  if (!*name) return true;
  LSTATUS status = RegQueryValueExW(key, W(name), nullptr, nullptr, nullptr, nullptr);
  return status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
}

bool g_classes_redirected;

// The root and the subkey of a path. While the classes are redirected a HKEY_CLASSES_ROOT path is
// taken to the current user's classes here as well: the system's override of the predefined key
// does not hold for opens that name a view.
struct KeyPath {
  HKEY root;
  char16_t subkey[kPathCapacity];
};

bool ParsePath(const char16_t* path, KeyPath* parsed) {
  const char16_t* subkey;
  if (!RegistryParseRoot(path, &parsed->root, &subkey)) return false;
  char16_t* out = parsed->subkey;
  char16_t* end = parsed->subkey + kPathCapacity - 1;
  if (parsed->root == HKEY_CLASSES_ROOT && g_classes_redirected) {
    parsed->root = HKEY_CURRENT_USER;
    out = TextCopy(out, end, *subkey ? u"Software\\Classes\\" : u"Software\\Classes");
  }
  TextCopy(out, end, subkey);
  return true;
}

}  // namespace

bool RegistryIs64BitWindows() {
#ifdef _WIN64
  return true;
#else
  static int known = -1;
  if (known < 0) {
    BOOL wow64 = FALSE;
    known = IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? 1 : 0;
  }
  return known == 1;
#endif
}

uint32_t RegistryOpenKey(const char16_t* path, const char16_t* value_name, int32_t view, REGSAM access, HKEY* key,
                         int32_t* actual_view) {
  *key = nullptr;
  KeyPath parsed;
  if (!ParsePath(path, &parsed)) return ERROR_PATH_NOT_FOUND;
  HKEY root = parsed.root;
  const char16_t* subkey = parsed.subkey;
  if (!RegistryIs64BitWindows()) {
    if (view == kRegistryView64Bit) return ERROR_BADKEY;
    *actual_view = kRegistryView32Bit;
    return uint32_t(OpenIn(root, subkey, access, kRegistryView32Bit, key));
  }
  if (view == kRegistryView32Bit || (view != kRegistryViewAutomatic && view != kRegistryViewPrefer32 &&
                                  view != kRegistryViewAutomaticFallback)) {
    *actual_view = view == kRegistryView32Bit ? kRegistryView32Bit : kRegistryView64Bit;
    return uint32_t(OpenIn(root, subkey, access, *actual_view, key));
  }
  HKEY key64;
  LSTATUS status = OpenIn(root, subkey, access, kRegistryView64Bit, &key64);
  if (status != ERROR_SUCCESS) {
    *actual_view = kRegistryView32Bit;
    return uint32_t(OpenIn(root, subkey, access, kRegistryView32Bit, key));
  }
  *key = key64;
  *actual_view = kRegistryView64Bit;
  if (!value_name || ValueExists(key64, value_name)) return ERROR_SUCCESS;
  HKEY key32;
  if (OpenIn(root, subkey, access, kRegistryView32Bit, &key32) != ERROR_SUCCESS) return ERROR_SUCCESS;
  if (view == kRegistryViewPrefer32 || ValueExists(key32, value_name)) {
    RegCloseKey(key64);
    *key = key32;
    *actual_view = kRegistryView32Bit;
  } else {
    RegCloseKey(key32);
  }
  return ERROR_SUCCESS;
}

uint32_t RegistryCreateKey(const char16_t* path, const char16_t* value_name, int32_t view, REGSAM access, HKEY* key,
                           DWORD* disposition, int32_t* actual_view) {
  *key = nullptr;
  *disposition = REG_OPENED_EXISTING_KEY;
  if (view == kRegistryViewAutomatic || view == kRegistryViewPrefer32) {
    if (RegistryOpenKey(path, value_name, view, access, key, actual_view) == ERROR_SUCCESS) return ERROR_SUCCESS;
  }
  KeyPath parsed;
  if (!ParsePath(path, &parsed)) return ERROR_PATH_NOT_FOUND;
  HKEY root = parsed.root;
  const char16_t* subkey = parsed.subkey;
  if (!RegistryIs64BitWindows() && view == kRegistryView64Bit) return ERROR_BADKEY;
  int32_t target = (view == kRegistryViewPrefer32 || view == kRegistryView32Bit || !RegistryIs64BitWindows())
                       ? kRegistryView32Bit
                       : kRegistryView64Bit;
  *actual_view = target;
  LSTATUS status = CreateIn(root, subkey, access, target, key, disposition);
  if (status != ERROR_SUCCESS && view == kRegistryViewAutomaticFallback && RegistryIs64BitWindows()) {
    *actual_view = kRegistryView32Bit;
    status = CreateIn(root, subkey, access, kRegistryView32Bit, key, disposition);
  }
  return uint32_t(status);
}

REGSAM RegistryDeleteViewFlags(int32_t view) {
  if (view == kRegistryView64Bit) return KEY_WOW64_64KEY;
  if (!RegistryIs64BitWindows()) return 0;
  return view == kRegistryViewPrefer32 || view == kRegistryView32Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

uint32_t RegistryDeleteValues(HKEY key) {
  uint32_t result = ERROR_SUCCESS;
  DWORD index = 0;
  for (;;) {
    wchar_t name[16384];
    DWORD length = 16384;
    LSTATUS status = RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return result;
    if (status != ERROR_SUCCESS) return uint32_t(status);
    status = Sys().RegDeleteValueW(key, name);
    if (status != ERROR_SUCCESS) {
      result = uint32_t(status);
      ++index;  // leave it and go on with the next
    }
  }
}

uint32_t RegistryDeleteSubkeys(HKEY key, int32_t view) {
  REGSAM flag = RegistryDeleteViewFlags(view);
  uint32_t result = ERROR_SUCCESS;
  DWORD index = 0;
  for (;;) {
    wchar_t name[kNameCapacity];
    DWORD length = kNameCapacity;
    LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return result;
    if (status != ERROR_SUCCESS) return uint32_t(status);
    HKEY child;
    status = RegOpenKeyExW(key, name, 0, KEY_READ | DELETE | KEY_SET_VALUE | flag, &child);
    if (status == ERROR_SUCCESS) {
      uint32_t below = RegistryDeleteSubkeys(child, view);
      RegCloseKey(child);
      if (below != ERROR_SUCCESS) status = LSTATUS(below);
    }
    if (status == ERROR_SUCCESS) status = Sys().RegDeleteKeyExW(key, name, flag, 0);
    if (status != ERROR_SUCCESS) {
      result = uint32_t(status);
      ++index;
    }
  }
}

bool RegistryKeyIsEmpty(HKEY key, bool ignore_values) {
  DWORD subkeys = 0, values = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS)
    return false;
  return subkeys == 0 && (ignore_values || values == 0);
}

bool RegistryDeleteEmptyKey(const char16_t* path, int32_t view, bool upwards) {
  KeyPath parsed;
  if (!ParsePath(path, &parsed)) return false;
  HKEY root = parsed.root;
  char16_t* subkey = parsed.subkey;
  REGSAM flag = RegistryDeleteViewFlags(view);
  bool deleted = false;
  while (*subkey) {
    HKEY key;
    if (RegOpenKeyExW(root, W(subkey), 0, KEY_READ | flag, &key) != ERROR_SUCCESS) break;
    bool empty = RegistryKeyIsEmpty(key, false);
    RegCloseKey(key);
    if (!empty || Sys().RegDeleteKeyExW(root, W(subkey), flag, 0) != ERROR_SUCCESS) break;
    deleted = true;
    if (!upwards) break;
    size_t length = TextLength(subkey);
    while (length > 0 && subkey[length - 1] != u'\\') --length;
    subkey[length ? length - 1 : 0] = 0;
  }
  return deleted;
}

void RegistryRedirectClasses(bool on) {
  g_classes_redirected = on;
  if (!on) {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    return;
  }
  HKEY classes;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_ALL_ACCESS, &classes) != ERROR_SUCCESS) return;
  RegOverridePredefKey(HKEY_CLASSES_ROOT, classes);
  RegCloseKey(classes);
}

char16_t* RegistrySystemKeyPath(const char16_t* name, char16_t* start, char16_t* end) {
  char16_t* out = TextCopy(start, end, u"Software\\Microsoft\\Windows\\CurrentVersion\\");
  return TextCopy(out, end, name);
}
