// Prints the fields of each shell link named on the command line (scripts/main-job shows the
// example's shortcuts with it). Exit code 1 when a link cannot be read.
#include <windows.h>

#include <cstdio>
#include <string>

#include "runtime/text.h"
#include "tests/session/link_fields.h"

namespace {

void Line(const char* label, const std::u16string& text) { printf("  %-20s %s\n", label, TextToUtf8(text).c_str()); }

bool Show(const std::u16string& file) {
  printf("%s\n", TextToUtf8(file).c_str());
  LinkFields f = LinkFieldsRead(file);
  if (!f.loaded) {
    printf("  (not a link the shell can read)\n");
    return false;
  }
  Line("target", f.path);
  Line("arguments", f.arguments);
  Line("working folder", f.working_folder);
  Line("description", f.description);
  Line("icon", f.icon + u"," + TextFromUtf8(std::to_string(f.icon_index)));
  printf("  %-20s %d\n", "show command", f.show_command);
  printf("  %-20s %s\n", "run as administrator", (f.data_flags & 0x2000) ? "yes" : "no");
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = 0;
  for (int i = 1; i < argc; ++i)
    if (!Show(reinterpret_cast<const char16_t*>(argv[i]))) status = 1;
  CoUninitialize();
  return status;
}
