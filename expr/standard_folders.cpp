#include "expr/standard_folders.h"

#include <windows.h>

#include <initializer_list>

#include "expr/registry_read.h"
#include "expr/system_tables.h"
#include "expr/variables.h"
#include "runtime/heap.h"
#include "runtime/proc_address.h"
#include "runtime/trace.h"

namespace {

using ProfileFolderProc = BOOL(WINAPI*)(wchar_t*, DWORD*);
using UserProfileFolderProc = BOOL(WINAPI*)(HANDLE, wchar_t*, DWORD*);

constexpr DWORD kPathCapacity = MAX_PATH + 1;

void SetPath(unsigned index, const wchar_t* path, bool read) {
  DWORD err = GetLastError();
  SystemPathSet(index, read ? reinterpret_cast<const char16_t*>(path) : nullptr);
  if (!read) Trace(TR("W1550"), u"%u|%lu", index, err);
}

// A folder of a function that returns its length (0 on failure, more than the buffer when it is
// too small).
template <typename Read>
void SetLengthPath(unsigned index, Read read) {
  wchar_t path[kPathCapacity];
  UINT length = read(path, kPathCapacity);
  SetPath(index, path, length && length < kPathCapacity);
}

// A profile folder of userenv: the size it needs comes back with ERROR_INSUFFICIENT_BUFFER.
template <typename Read>
void SetProfilePath(unsigned index, Read read) {
  wchar_t path[kPathCapacity];
  DWORD size = kPathCapacity;
  if (read(path, &size)) return SetPath(index, path, true);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= kPathCapacity) return SetPath(index, path, false);
  auto* larger = MemNew<wchar_t>(size);
  SetPath(index, larger, read(larger, &size) != FALSE);
  MemFree(larger);
}

void SetProfilePaths() {
  HMODULE userenv = LoadLibraryExW(L"userenv.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto profiles = ProcAddress<ProfileFolderProc>(userenv, "GetProfilesDirectoryW");
  auto allUsers = ProcAddress<ProfileFolderProc>(userenv, "GetAllUsersProfileDirectoryW");
  auto user = ProcAddress<UserProfileFolderProc>(userenv, "GetUserProfileDirectoryW");
  if (profiles) SetProfilePath(5, profiles);
  if (allUsers) SetProfilePath(6, allUsers);
  HANDLE token = nullptr;
  if (user && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    SetProfilePath(7, [user, token](wchar_t* path, DWORD* size) { return user(token, path, size); });
    CloseHandle(token);
  }
  if (userenv) FreeLibrary(userenv);
}

void SetFrameworkRoot(unsigned index, REGSAM view) {
  char16_t root[kPathCapacity];
  DWORD type;
  uint32_t err = RegistryReadText(u"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\.NETFramework", u"InstallRoot", view,
                                  true, root, root + kPathCapacity - 1, &type);
  SetLastError(err);
  SetPath(index, reinterpret_cast<const wchar_t*>(root), err == ERROR_SUCCESS);
}

}  // namespace

void SystemPathsFill() {
  SetLengthPath(2, GetWindowsDirectoryW);
  SetLengthPath(3, GetSystemWindowsDirectoryW);
  SetLengthPath(0, GetSystemDirectoryW);
  SetLengthPath(1, GetSystemWow64DirectoryW);
  wchar_t temp[kPathCapacity];
  DWORD length = GetTempPathW(kPathCapacity, temp);
  if (length > 1 && length < kPathCapacity && temp[length - 1] == L'\\') temp[length - 1] = 0;
  SetPath(4, temp, length && length < kPathCapacity);
  SetProfilePaths();
  SetFrameworkRoot(8, KEY_WOW64_32KEY);
  if (*SystemPath(1)) SetFrameworkRoot(9, KEY_WOW64_64KEY);  // only 64-bit Windows has a 32-bit system folder
}

void StandardFoldersFix(ObjectTable* db) {
  for (uint32_t id : {kVarProgramFiles32, kVarProgramFiles64, kVarCommonFiles32, kVarCommonFiles64})
    VariableReexpand(db, id);
}
