// The system's answers for linking: installed locales and whether this is a 32-bit process on
// 64-bit Windows.
#include <windows.h>

#include "database/database_link.h"

namespace {

bool LocaleInstalled(uint16_t language) { return IsValidLocale(MAKELCID(language, SORT_DEFAULT), LCID_INSTALLED) != 0; }

bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

LinkHooks DatabasePlatformLinkHooks() { return LinkHooks{LocaleInstalled, RunsUnderWow64()}; }
