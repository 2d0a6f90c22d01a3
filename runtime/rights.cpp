#include "runtime/rights.h"

#include <windows.h>

bool ProcessIsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators))
    return false;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

int ProcessElevationState() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  BOOL read = GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size);
  CloseHandle(token);
  if (!read) return 0;
  switch (type) {
    case TokenElevationTypeFull: return 3;
    case TokenElevationTypeLimited: return ProcessIsAdministrator() ? 2 : 1;
    default: return ProcessIsAdministrator() ? 3 : 1;
  }
}

uint32_t PrivilegeAdjust(void* token, const char16_t* name, bool remove) {
  HANDLE handle = static_cast<HANDLE>(token);
  bool own = !handle;
  if (own && !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &handle))
    return GetLastError();
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = remove ? SE_PRIVILEGE_REMOVED : SE_PRIVILEGE_ENABLED;
  DWORD err;
  if (!LookupPrivilegeValueW(nullptr, reinterpret_cast<LPCWSTR>(name), &privileges.Privileges[0].Luid))
    err = GetLastError();
  else if (!AdjustTokenPrivileges(handle, FALSE, &privileges, 0, nullptr, nullptr))
    err = GetLastError();
  else
    err = GetLastError();  // 0, or 1300 when the token does not hold the privilege
  if (own) CloseHandle(handle);
  return err;
}
