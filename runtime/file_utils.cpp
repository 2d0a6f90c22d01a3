#include "runtime/file_utils.h"

#include <windows.h>

#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
uint64_t U64(FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

constexpr size_t kTreePathCapacity = 32768;

bool IsDotEntry(const wchar_t* name) { return name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2])); }

uint32_t RemoveFolder(const char16_t* path) {
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    Sys().SetFileAttributesW(W(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  return Sys().RemoveDirectoryW(W(path)) ? ERROR_SUCCESS : GetLastError();
}

// `path` is a buffer of kTreePathCapacity characters whose text ends at `pathEnd`; entries are
// appended there and the text is restored before returning.
uint32_t DeleteTree(char16_t* path, char16_t* pathEnd, uint32_t flags) {
  char16_t* bufferEnd = path + kTreePathCapacity - 1;
  char16_t* nameStart = TextCopy(pathEnd, bufferEnd, u"\\");
  TextCopy(nameStart, bufferEnd, u"*");
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(W(path), &entry);
  *nameStart = 0;
  if (find == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    *pathEnd = 0;
    return (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? ERROR_SUCCESS : err;
  }
  uint32_t err = ERROR_SUCCESS;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    char16_t* entryEnd = TextCopy(nameStart, bufferEnd, reinterpret_cast<const char16_t*>(entry.cFileName));
    if (entryEnd - nameStart != ptrdiff_t(wcslen(entry.cFileName))) err = ERROR_FILENAME_EXCED_RANGE;
    else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (flags & kTreeDeleteFiles) err = FileDeleteForced(path);
    } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      if (flags & kTreeDeleteSubfolders) err = RemoveFolder(path);
    } else if (flags & kTreeDeleteSubfolders) {
      err = DeleteTree(path, entryEnd, flags);
    }
    *nameStart = 0;
  } while (err == ERROR_SUCCESS && FindNextFileW(find, &entry));
  if (err == ERROR_SUCCESS && GetLastError() != ERROR_NO_MORE_FILES) err = GetLastError();
  FindClose(find);
  *pathEnd = 0;
  if (err == ERROR_SUCCESS && !(flags & kTreeKeepFolder)) err = RemoveFolder(path);
  return err;
}

}  // namespace

uint32_t FileDeleteForced(const char16_t* path) {
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)))
    Sys().SetFileAttributesW(W(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  if (Sys().DeleteFileW(W(path))) return ERROR_SUCCESS;
  DWORD err = GetLastError();
  return (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? ERROR_SUCCESS : err;
}

uint32_t FolderDeleteTree(const char16_t* path, uint32_t flags) {
  if (!path || !*path) return ERROR_INVALID_PARAMETER;
  auto* buffer = static_cast<char16_t*>(MemAlloc(kTreePathCapacity * sizeof(char16_t)));
  if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
  char16_t* end = TextCopy(buffer, buffer + kTreePathCapacity - 1, path);
  while (end > buffer + 1 && (end[-1] == u'\\' || end[-1] == u'/')) *--end = 0;
  uint32_t err = ERROR_SUCCESS;
  DWORD attributes = GetFileAttributesW(W(buffer));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) err = ERROR_SUCCESS;
  } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    err = ERROR_DIRECTORY;
  } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (!(flags & kTreeKeepFolder)) err = RemoveFolder(buffer);
  } else {
    err = DeleteTree(buffer, end, flags);
  }
  MemFree(buffer);
  return err;
}

char16_t* TempFileNameFrom(char16_t* start, char16_t* end, const char16_t* prefix, const char16_t* extension,
                           uint32_t random) {
  if (start > end) return start;
  wchar_t folder[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH) folder[0] = 0;
  char16_t* p = TextCopy(start, end, reinterpret_cast<const char16_t*>(folder));
  return TextFormat(p, end, u"%s%08lX%s", prefix ? prefix : u"", random,
                    extension && *extension ? extension : u".tmp");
}

bool FileExists(const char16_t* path) {
  return path && *path && GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

uint32_t FileFindOne(const char16_t* path, bool allowWildcards, FoundFile* found) {
  *found = FoundFile{};
  if (!path || !*path) return ERROR_INVALID_PARAMETER;
  if (!allowWildcards)
    for (const char16_t* p = path; *p; ++p)
      if (*p == u'*' || *p == u'?') return ERROR_INVALID_PARAMETER;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(W(path), &entry);
  if (find == INVALID_HANDLE_VALUE) return GetLastError();
  FindClose(find);
  found->facts.attributes = entry.dwFileAttributes;
  found->facts.creation_time = U64(entry.ftCreationTime);
  found->facts.last_write_time = U64(entry.ftLastWriteTime);
  found->facts.size = (uint64_t(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
  TextCopy(found->name, found->name + 259, reinterpret_cast<const char16_t*>(entry.cFileName));
  return ERROR_SUCCESS;
}
