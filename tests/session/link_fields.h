// A saved shell link read back through the shell's link object (COM must be initialised).
#pragma once
#include <windows.h>

#include <string>

struct LinkFields {
  bool loaded = false;
  std::u16string path, arguments, working_folder, description, icon;
  int icon_index = 0;
  DWORD data_flags = 0;  // the data-list flags (0x2000: run as administrator)
  int show_command = 0;  // as stored in the file's header: this Wine's link object does not read it back
};

LinkFields LinkFieldsRead(const std::u16string& file);
