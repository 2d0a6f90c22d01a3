#include "runtime/long_path.h"

#include <cstring>

#include "runtime/heap.h"

namespace {

// CreateDirectoryW refuses 248 characters and more (room for an 8.3 name); files stop at MAX_PATH.
constexpr size_t kPlainLimit = MAX_PATH - 12;

bool IsSeparator(wchar_t c) { return c == L'\\'; }

// A full path whose components are plain names: the system would not change it when normalising.
// Normalising resolves "." and ".." and drops the dots and spaces that end a component, which the
// long form keeps as they are: such paths stay in the plain form, so that a path names the same file
// at any length.
bool IsPlainFullPath(LPCWSTR path, size_t* length) {
  bool drive = ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':' &&
               IsSeparator(path[2]);
  bool unc = IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != L'?' && path[2] != L'.';
  if (!drive && !unc) return false;
  const wchar_t* component = path + (drive ? 3 : 2);
  const wchar_t* p = component;
  for (;; ++p) {
    if (*p == L'/') return false;
    if (*p && !IsSeparator(*p)) continue;
    size_t size = size_t(p - component);
    if (size == 0 && *p) return false;  // two separators in a row
    if (size && (p[-1] == L'.' || p[-1] == L' ')) return false;
    if (!*p) break;
    component = p + 1;
  }
  *length = size_t(p - path);
  return true;
}

}  // namespace

LongPathArgument::LongPathArgument(LPCWSTR text) : path(text), owned(nullptr) {
  size_t length = 0;
  if (!text || !IsPlainFullPath(text, &length) || length < kPlainLimit) return;
  bool unc = IsSeparator(text[0]);
  const wchar_t* prefix = unc ? L"\\\\?\\UNC" : L"\\\\?\\";
  const wchar_t* rest = unc ? text + 1 : text;  // "\\server" keeps one separator after "UNC"
  size_t prefix_length = unc ? 7 : 4;
  size_t rest_length = length - size_t(rest - text);
  owned = MemNew<wchar_t>(prefix_length + rest_length + 1);
  memcpy(owned, prefix, prefix_length * sizeof(wchar_t));
  memcpy(owned + prefix_length, rest, (rest_length + 1) * sizeof(wchar_t));
  path = owned;
}

LongPathArgument::~LongPathArgument() {
  if (!owned) return;
  DWORD error = GetLastError();
  MemFree(owned);
  SetLastError(error);
}
