#include "runtime/version_resource.h"

#include <windows.h>

#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/proc_address.h"
#include "runtime/text.h"

namespace {

struct VersionFunctions {
  DWORD(WINAPI* size)(LPCWSTR, LPDWORD);
  BOOL(WINAPI* read)(LPCWSTR, DWORD, DWORD, LPVOID);
  BOOL(WINAPI* query)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
};

const VersionFunctions* Functions() {
  static VersionFunctions functions;
  static bool loaded;
  if (!loaded) {
    loaded = true;
    if (HMODULE module = LoadLibraryW(L"version.dll")) {
      functions.size = ProcAddress<decltype(functions.size)>(module, "GetFileVersionInfoSizeW");
      functions.read = ProcAddress<decltype(functions.read)>(module, "GetFileVersionInfoW");
      functions.query = ProcAddress<decltype(functions.query)>(module, "VerQueryValueW");
    }
  }
  return functions.size && functions.read && functions.query ? &functions : nullptr;
}

}  // namespace

uint32_t VersionResourceOpen(const char16_t* path, VersionResource* resource) {
  *resource = VersionResource{};
  const VersionFunctions* f = Functions();
  if (!f) return ERROR_PROC_NOT_FOUND;
  auto* wpath = reinterpret_cast<LPCWSTR>(path);
  DWORD ignored = 0;
  DWORD size = f->size(wpath, &ignored);
  if (!size) return GetLastError() ? GetLastError() : ERROR_RESOURCE_TYPE_NOT_FOUND;
  void* block = MemAlloc(size);
  if (!block) return ERROR_NOT_ENOUGH_MEMORY;
  if (!f->read(wpath, 0, size, block)) {
    DWORD err = GetLastError();
    MemFree(block);
    return err ? err : ERROR_INVALID_DATA;
  }
  WORD* translation = nullptr;
  UINT length = 0;
  if (!f->query(block, L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 4 || !translation) {
    MemFree(block);
    return ERROR_INVALID_DATA;
  }
  resource->block = block;
  resource->language = translation[0];
  resource->code_page = translation[1];
  return ERROR_SUCCESS;
}

void VersionResourceClose(VersionResource* resource) {
  MemFree(resource->block);
  *resource = VersionResource{};
}

char16_t* VersionResourceValue(const VersionResource* resource, const char16_t* name, char16_t* start,
                               char16_t* end) {
  char16_t* none = TextCopy(start, end, u"");
  const VersionFunctions* f = Functions();
  if (!f || !resource->block) return none;
  char16_t query[300];
  TextFormat(query, query + 299, u"\\StringFileInfo\\%04x%04x\\%s", unsigned(resource->language),
             unsigned(resource->code_page), name);
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!f->query(resource->block, reinterpret_cast<LPCWSTR>(query), reinterpret_cast<void**>(&value), &length) ||
      !value || !length)
    return none;
  return TextCopyN(start, end, reinterpret_cast<const char16_t*>(value), length);
}

bool VersionResourceFixed(const VersionResource* resource, VersionFixedPart* fixed) {
  const VersionFunctions* f = Functions();
  if (!f || !resource->block) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!f->query(resource->block, L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VersionFixedPart))
    return false;
  memcpy(fixed, info, sizeof(VersionFixedPart));
  return true;
}
