#include "runtime/path_clean.h"

#include <cstddef>

namespace {

bool IsInvalid(char16_t c, size_t index) {
  return c < 32 || c == u'"' || c == u'|' || c == u'<' || c == u'>' || c == u'*' || c == u'?' || c == 0x7F ||
         (c == u':' && index != 1);
}

}  // namespace

void PathClean(char16_t* path) {
  if (!path) return;
  size_t out = 0;
  for (size_t i = 0; path[i]; ++i) {
    char16_t c = path[i] == u'/' ? u'\\' : path[i];
    if (IsInvalid(c, i)) c = u'_';
    if (c == u'\\' && out >= 2 && path[out - 1] == u'\\') continue;
    path[out++] = c;
  }
  path[out] = 0;
}
