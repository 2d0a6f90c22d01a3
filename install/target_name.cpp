#include "install/target_name.h"

#include "runtime/errors.h"
#include "runtime/text.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Whether the component [begin, end) is a device name, with or without an extension; trailing dots
// and spaces do not count (the system drops them).
bool IsDeviceName(const char16_t* begin, const char16_t* end) {
  const char16_t* stem = begin;
  while (stem < end && *stem != u'.') ++stem;
  while (stem > begin && (stem[-1] == u' ' || stem[-1] == u'.')) --stem;
  size_t length = size_t(stem - begin);
  static const char16_t* const kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
  for (const char16_t* device : kDevices)
    if (TextLength(device) == length && TextCompareNoCaseN(begin, device, length) == 0) return true;
  if (length == 4 && (TextCompareNoCaseN(begin, u"COM", 3) == 0 || TextCompareNoCaseN(begin, u"LPT", 3) == 0))
    return (begin[3] >= u'1' && begin[3] <= u'9') || begin[3] == 0xB9 || begin[3] == 0xB2 || begin[3] == 0xB3;
  return false;
}

bool IsDots(const char16_t* begin, const char16_t* end) {
  for (const char16_t* p = begin; p < end; ++p)
    if (*p != u'.' && *p != u' ') return false;
  return true;
}

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The components from `begin` on: plain names, one separator between them, one allowed at the end.
unsigned long ComponentsCheck(const char16_t* begin) {
  if (!*begin) return 0;
  for (const char16_t* p = begin;; ++p) {
    if (*p && !IsSeparator(*p)) continue;
    if (p == begin || IsDots(begin, p)) return ERROR_INVALID_NAME;
    if (IsDeviceName(begin, p)) return ERROR_BAD_PATHNAME;
    if (!*p || !p[1]) return 0;
    begin = p + 1;
  }
}

}  // namespace

unsigned long FolderPathCheck(const char16_t* path) {
  if (!path) return ERROR_INVALID_NAME;
  if (IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2])) return ComponentsCheck(path + 3);
  if (!IsSeparator(path[0]) || !IsSeparator(path[1])) return ERROR_INVALID_NAME;
  const char16_t* server = path + 2;
  const char16_t* end = server;
  while (*end && !IsSeparator(*end)) ++end;
  if (end - server == 1 && (*server == u'?' || *server == u'.')) return ERROR_BAD_PATHNAME;
  if (end == server || !*end || !end[1]) return ERROR_INVALID_NAME;  // a server and a share
  return ComponentsCheck(server);
}

unsigned long TargetNameCheck(const char16_t* name) {
  if (!name || !*name || IsSeparator(*name)) return ERROR_INVALID_NAME;
  for (const char16_t* p = name; *p; ++p)
    if (*p == u':') return ERROR_INVALID_NAME;
  const char16_t* begin = name;
  for (const char16_t* p = name;; ++p) {
    if (*p && !IsSeparator(*p)) continue;
    if (p == begin || IsDots(begin, p)) return ERROR_INVALID_NAME;
    if (IsDeviceName(begin, p)) return ERROR_BAD_PATHNAME;
    if (!*p) return 0;
    begin = p + 1;
  }
}
