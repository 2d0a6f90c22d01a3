// File functions: fagec, fagem, fdatec, fdatem, fexist, fread, fsize, ftimec, ftimem, fverf,
// fverfcmp, fverp, fverpcmp, lfn, sfn. Each runs with the 32-bit file-system redirection switched
// off, so that system paths name the native folders.
#include <windows.h>

#include "expr/functions.h"
#include "runtime/calendar.h"
#include "runtime/file_text.h"
#include "runtime/file_utils.h"
#include "runtime/fs_redirection.h"
#include "runtime/heap.h"
#include "runtime/number_parse.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "runtime/version_resource.h"
#include "runtime/version_text.h"

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

bool Facts(const char16_t* argument, FileFacts* facts) {
  PathArgument path(argument);
  FsRedirectionScope native;
  return *path.text && FileGetFacts(path.text, facts) == ERROR_SUCCESS;
}

enum Stamp { kCreated, kWritten };

uint64_t StampOf(const FileFacts& facts, Stamp stamp) {
  return stamp == kCreated ? facts.creation_time : facts.last_write_time;
}

char16_t* Age(const ExprCall& call, char16_t* start, char16_t* end, Stamp stamp) {
  FileFacts facts;
  if (!Facts(call.args[0], &facts)) return TextCopy(start, end, u"");
  int64_t age = (int64_t(PlatformNowFileTime()) - int64_t(StampOf(facts, stamp))) / int64_t(kFileTimePerSecond);
  return TextFormat(start, end, u"%I64d", age);
}

char16_t* LocalDate(const ExprCall& call, char16_t* start, char16_t* end, Stamp stamp) {
  FileFacts facts;
  FILETIME utc{}, local{};
  uint64_t t = 0;
  if (Facts(call.args[0], &facts)) {
    t = StampOf(facts, stamp);
    utc = FILETIME{DWORD(t), DWORD(t >> 32)};
  }
  if (!t || !FileTimeToLocalFileTime(&utc, &local)) return TextCopy(start, end, u"");
  DateTime d = CalendarFromFileTime((uint64_t(local.dwHighDateTime) << 32) | local.dwLowDateTime);
  return TextFormat(start, end, u"%04u%02u%02u", unsigned(d.year), unsigned(d.month), unsigned(d.day));
}

char16_t* Seconds(const ExprCall& call, char16_t* start, char16_t* end, Stamp stamp) {
  FileFacts facts;
  if (!Facts(call.args[0], &facts)) return TextCopy(start, end, u"");
  return TextFormat(start, end, u"%I64u", StampOf(facts, stamp) / kFileTimePerSecond);
}

enum Which { kFileVersion, kProductVersion };

// The file's or product version from the version resource; false when there is none.
bool ResourceVersion(const char16_t* argument, Which which, uint64_t* version) {
  PathArgument path(argument);
  FsRedirectionScope native;
  VersionResource resource;
  VersionFixedPart fixed;
  if (!*path.text || VersionResourceOpen(path.text, &resource) != ERROR_SUCCESS) return false;
  bool ok = VersionResourceFixed(&resource, &fixed);
  VersionResourceClose(&resource);
  if (ok)
    *version = which == kFileVersion ? (uint64_t(fixed.file_version_high) << 32 | fixed.file_version_low)
                                     : (uint64_t(fixed.product_version_high) << 32 | fixed.product_version_low);
  return ok;
}

char16_t* VersionOf(const ExprCall& call, char16_t* start, char16_t* end, Which which) {
  uint64_t version;
  if (!ResourceVersion(call.args[0], which, &version)) return TextCopy(start, end, u"");
  return VersionText(start, end, version);
}

// A file without a version resource compares as version 0.0.0.0.
char16_t* VersionCompare(const ExprCall& call, char16_t* start, char16_t* end, Which which) {
  uint64_t version = 0;
  ResourceVersion(call.args[0], which, &version);
  uint64_t other = VersionParse(call.args[1]);
  return SignText(start, end, version < other ? -1 : version > other ? 1 : 0);
}

using PathFormProc = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

char16_t* PathForm(const ExprCall& call, char16_t* start, char16_t* end, PathFormProc form, uint32_t record) {
  PathArgument path(call.args[0]);
  FsRedirectionScope native;
  char16_t* out = TextCopy(start, end, u"");
  DWORD needed = *path.text ? form(W(path.text), nullptr, 0) : 0;
  auto* buffer = static_cast<wchar_t*>(needed ? MemAlloc(needed * sizeof(wchar_t)) : nullptr);
  DWORD n = buffer ? form(W(path.text), buffer, needed) : 0;
  if (n && n < needed) out = TextCopy(start, end, reinterpret_cast<const char16_t*>(buffer));
  else Trace(record, u"%s|%lu", path.text, GetLastError());
  MemFree(buffer);
  return out;
}

}  // namespace

EXPR_FUNCTION(fagec) { return Age(call, start, end, kCreated); }
EXPR_FUNCTION(fagem) { return Age(call, start, end, kWritten); }
EXPR_FUNCTION(fdatec) { return LocalDate(call, start, end, kCreated); }
EXPR_FUNCTION(fdatem) { return LocalDate(call, start, end, kWritten); }
EXPR_FUNCTION(ftimec) { return Seconds(call, start, end, kCreated); }
EXPR_FUNCTION(ftimem) { return Seconds(call, start, end, kWritten); }

EXPR_FUNCTION(fsize) {
  FileFacts facts;
  if (!Facts(call.args[0], &facts)) return TextCopy(start, end, u"");
  return TextFormat(start, end, u"%I64u", facts.size);
}

EXPR_FUNCTION(fexist) {
  PathArgument path(call.args[0]);
  FsRedirectionScope native;
  uint32_t attributes = kAttributeInvalid;
  bool wildcard = false;
  for (const char16_t* p = path.text; *p; ++p) wildcard = wildcard || *p == u'*' || *p == u'?';
  FoundFile found;
  if (!*path.text) attributes = kAttributeInvalid;
  else if (!wildcard) FileGetAttributes(path.text, &attributes);
  else if (FileFindOne(path.text, true, &found) == ERROR_SUCCESS) attributes = found.facts.attributes;
  if (attributes == kAttributeInvalid) return TextCopy(start, end, u"0");
  return TextCopy(start, end, (attributes & kAttributeDirectory) ? u"-1" : u"1");
}

EXPR_FUNCTION(fread) {
  PathArgument path(call.args[0]);
  uint32_t codePage = *call.args[1] ? NumberParseU32(call.args[1]) : 0;
  FsRedirectionScope native;
  char16_t* text = nullptr;
  size_t length = 0;
  uint32_t encoding;
  char16_t* out = TextCopy(start, end, u"");
  if (*path.text && FileReadText(path.text, codePage, &text, &length, &encoding) == ERROR_SUCCESS)
    out = TextCopyN(start, end, text, length);
  MemFree(text);
  return out;
}

EXPR_FUNCTION(fverf) { return VersionOf(call, start, end, kFileVersion); }
EXPR_FUNCTION(fverp) { return VersionOf(call, start, end, kProductVersion); }
EXPR_FUNCTION(fverfcmp) { return VersionCompare(call, start, end, kFileVersion); }
EXPR_FUNCTION(fverpcmp) { return VersionCompare(call, start, end, kProductVersion); }

EXPR_FUNCTION(lfn) { return PathForm(call, start, end, GetLongPathNameW, TR("W1532")); }
EXPR_FUNCTION(sfn) { return PathForm(call, start, end, GetShortPathNameW, TR("W1533")); }
