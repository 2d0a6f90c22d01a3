#include "runtime/log_names.h"

#include "runtime/path_clean.h"
#include "runtime/path_parts.h"
#include "runtime/text.h"

namespace {

char16_t* FormatStamp(char16_t* start, char16_t* end, const DateTime* t) {
  return TextFormat(start, end, u"%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned(t->year), unsigned(t->month),
                    unsigned(t->day), unsigned(t->hour), unsigned(t->minute), unsigned(t->second),
                    unsigned(t->milliseconds));
}

}  // namespace

char16_t* LogBuildTempPath(char16_t* start, char16_t* end, const char16_t* tempFolder, const char16_t* baseName,
                           uint32_t flags, uint32_t processId, uint32_t random) {
  char16_t* p = TextCopy(start, end, tempFolder);
  if (p > start && p[-1] != u'\\' && p[-1] != u'/') p = TextCopy(p, end, u"\\");
  p = TextCopy(p, end, baseName);
  if (flags & kLogWithProcessId) p = TextFormat(p, end, u"%08lX", processId);
  if (flags & kLogWithRandom) p = TextFormat(p, end, u"%08lX", random);
  return TextCopy(p, end, u".log");
}

char16_t* LogBuildEndOfRunPath(char16_t* start, char16_t* end, const char16_t* currentPath, const char16_t* product,
                               const DateTime* t, const char16_t* runModeName) {
  char16_t* p = TextCopyN(start, end, currentPath, size_t(PathNamePart(currentPath) - currentPath));
  char16_t* name = p;
  p = TextCopy(p, end, product);
  for (char16_t* c = name; c < p; ++c)
    if (*c == u'\\' || *c == u'/') *c = u'_';
  p = TextFormat(p, end, u"-%04u%02u%02uT%02u%02u%02u-%s.log", unsigned(t->year), unsigned(t->month),
                 unsigned(t->day), unsigned(t->hour), unsigned(t->minute), unsigned(t->second), runModeName);
  PathClean(start);
  return start + TextLength(start);
}

char16_t* LogFormatHeader(char16_t* start, char16_t* end, const DateTime* time, const char16_t* executablePath) {
  char16_t* p = FormatStamp(start, end, time);
  return TextFormat(p, end, u" ===== Logging %s =====\n", executablePath);
}

char16_t* LogFormatFooter(char16_t* start, char16_t* end, const DateTime* time) {
  return TextCopy(FormatStamp(start, end, time), end, u" ===== Closing log file =====\n");
}
