#include "install/shortcut_target.h"

#include "runtime/text.h"

bool ShortcutTargetIsAddress(const char16_t* target) {
  for (size_t i = 0; target[i]; ++i)
    if (target[i] == u':') return i >= 2;
  return false;
}

char16_t* ShortcutFileName(char16_t* start, char16_t* end, const char16_t* folder, const char16_t* name) {
  char16_t* p = TextCopy(start, end, folder);
  while (p > start && (p[-1] == u'\\' || p[-1] == u'/')) *--p = 0;
  p = TextCopy(p, end, u"\\");
  while (*name == u'\\' || *name == u'/') ++name;
  p = TextCopy(p, end, name);
  return TextCopy(p, end, u".lnk");
}

char16_t* ShortcutTargetFolder(char16_t* start, char16_t* end, const char16_t* target) {
  size_t cut = 0;
  for (size_t i = 0; target[i]; ++i)
    if (target[i] == u'\\' || target[i] == u'/') cut = i;
  if (cut == 2 && target[1] == u':') cut = 3;  // "C:\" stays the drive's root, not "C:"
  return TextCopyN(start, end, target, cut);
}
