#include "expr/system_slots.h"

#include "expr/registry_read.h"
#include "runtime/fs_redirection.h"
#include "runtime/text.h"
#include "runtime/trace.h"

char16_t* ExprEnvironmentValue(void*, const char16_t* name, char16_t* start, char16_t* end) {
  if (start > end) return start;
  DWORD capacity = DWORD(end - start + 1);
  DWORD n = GetEnvironmentVariableW(reinterpret_cast<LPCWSTR>(name), reinterpret_cast<LPWSTR>(start), capacity);
  if (n == 0 || n >= capacity) return TextCopy(start, end, u"");
  return start + n;
}

char16_t* ExprIniValue(void*, const char16_t* file, const char16_t* section, const char16_t* key, char16_t* start,
                       char16_t* end) {
  if (start > end) return start;
  FsRedirectionScope native;
  DWORD n = GetPrivateProfileStringW(reinterpret_cast<LPCWSTR>(section), reinterpret_cast<LPCWSTR>(key), L"",
                                     reinterpret_cast<LPWSTR>(start), DWORD(end - start + 1),
                                     reinterpret_cast<LPCWSTR>(file));
  start[n] = 0;
  return start + n;
}

char16_t* ExprRegistryValue(void*, int view, const char16_t* key, const char16_t* valueName, char16_t* start,
                            char16_t* end) {
  if (start > end) return start;
  REGSAM flags = view == kRegistryView32 ? KEY_WOW64_32KEY
                 : view == kRegistryView64 ? KEY_WOW64_64KEY
                                            : RegistryNativeViewFlag();
  DWORD type;
  uint32_t err = RegistryReadText(key, valueName, flags, true, start, end, &type);
  if (err != ERROR_SUCCESS) {
    Trace(TR("W1531"), u"%s|%s|%d|%lu", key, valueName, view, err);
    return TextCopy(start, end, u"");
  }
  return start + TextLength(start);
}
