#include "runtime/path_parts.h"

#include "runtime/text.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

char16_t* PathJoin(char16_t* start, char16_t* end, const char16_t* folder, const char16_t* name) {
  char16_t* p = TextCopy(start, end, folder);
  if (p > start && !IsSeparator(p[-1])) p = TextCopy(p, end, u"\\");
  return TextCopy(p, end, name);
}

char16_t* PathFolderPart(char16_t* start, char16_t* end, const char16_t* path) {
  size_t cut = 0;
  for (size_t i = 0; path[i]; ++i)
    if (IsSeparator(path[i])) cut = i;
  if (cut == 2 && path[1] == u':') cut = 3;  // "C:\" stays the drive's root, not "C:"
  return TextCopyN(start, end, path, cut);
}

const char16_t* PathNamePart(const char16_t* path) {
  const char16_t* name = path;
  for (const char16_t* p = path; *p; ++p)
    if (IsSeparator(*p)) name = p + 1;
  return name;
}
