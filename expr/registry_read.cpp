#include "expr/registry_read.h"

#include "expr/registry_text.h"
#include "runtime/heap.h"
#include "runtime/text.h"

namespace {

bool g_allUsersIsCurrentUser;

constexpr DWORD kFirstSize = 520;
constexpr DWORD kMaxSize = 65536;

// Reads the value data into a heap block (MemFree) of at least `*size` + 2 zero bytes.
LSTATUS ReadData(HKEY key, const char16_t* name, DWORD* type, uint8_t** data, DWORD* size) {
  DWORD capacity = kFirstSize;
  for (;;) {
    auto* block = static_cast<uint8_t*>(MemAlloc(capacity + 2));
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD got = capacity;
    LSTATUS status = RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(name), nullptr, type, block, &got);
    if (status == ERROR_SUCCESS) {
      *data = block;
      *size = got;
      return ERROR_SUCCESS;
    }
    MemFree(block);
    if (status != ERROR_MORE_DATA || capacity >= kMaxSize) return status;
    DWORD grown = capacity + 256;
    capacity = got > grown ? got : grown;
    if (capacity > kMaxSize) {
      if (got > kMaxSize) return ERROR_MORE_DATA;
      capacity = kMaxSize;
    }
  }
}

// Environment references expanded; a result that does not fit is cut like any other text.
void ExpandedText(char16_t* start, char16_t* end, const char16_t* text) {
  auto* source = reinterpret_cast<LPCWSTR>(text);
  DWORD needed = ExpandEnvironmentStringsW(source, nullptr, 0);
  auto* expanded = static_cast<wchar_t*>(needed ? MemAlloc(needed * sizeof(wchar_t)) : nullptr);
  if (expanded && ExpandEnvironmentStringsW(source, expanded, needed) - 1 < needed)
    TextCopy(start, end, reinterpret_cast<const char16_t*>(expanded));
  else
    TextCopy(start, end, text);
  MemFree(expanded);
}

}  // namespace

bool RegistryParseRoot(const char16_t* path, HKEY* root, const char16_t** subkey) {
  static const struct {
    const char16_t* name;
    HKEY key;
  } kRoots[] = {{u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {u"HKEY_ALL_USERS", HKEY_LOCAL_MACHINE},
                {u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                {u"HKEY_USERS", HKEY_USERS}};
  if (!path) return false;
  size_t length = 0;
  while (path[length] && path[length] != u'\\') ++length;
  for (const auto& r : kRoots) {
    if (TextLength(r.name) != length || TextCompareNoCaseN(r.name, path, length) != 0) continue;
    *root = r.key;
    if (r.name[5] == u'A' && g_allUsersIsCurrentUser) *root = HKEY_CURRENT_USER;
    *subkey = path[length] ? path + length + 1 : path + length;
    return true;
  }
  return false;
}

void RegistryMapAllUsersToCurrentUser(bool map) { g_allUsersIsCurrentUser = map; }

REGSAM RegistryNativeViewFlag() {
#ifdef _WIN64
  return 0;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

uint32_t RegistryReadText(const char16_t* path, const char16_t* name, REGSAM viewFlags, bool expand,
                          char16_t* start, char16_t* end, DWORD* type) {
  TextCopy(start, end, u"");
  *type = REG_NONE;
  HKEY root;
  const char16_t* subkey;
  if (!RegistryParseRoot(path, &root, &subkey)) return ERROR_PATH_NOT_FOUND;
  HKEY key;
  LSTATUS status = RegOpenKeyExW(root, reinterpret_cast<LPCWSTR>(subkey), 0, KEY_QUERY_VALUE | viewFlags, &key);
  if (status != ERROR_SUCCESS) return uint32_t(status);
  uint8_t* data = nullptr;
  DWORD size = 0;
  status = ReadData(key, name, type, &data, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return uint32_t(status);
  if (*type == REG_EXPAND_SZ && expand) ExpandedText(start, end, reinterpret_cast<const char16_t*>(data));
  else RegistryDataText(start, end, *type, data, size);
  MemFree(data);
  return ERROR_SUCCESS;
}
