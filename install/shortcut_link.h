// The shell's link object for one shortcut: created, given its fields and saved to a file.
#pragma once
#include <windows.h>

#include <shlobj.h>

#include <cstdint>

struct ShortcutLinkFields {
  const char16_t* target;          // path or address
  int32_t show_command;
  const char16_t* arguments;       // each text: set only when not empty
  const char16_t* working_folder;
  const char16_t* description;
  const char16_t* icon_path;       // with icon_index, set when not empty
  int32_t icon_index;
  bool run_as_administrator;       // link flag 0x2000, when the data-list interface is there
};

struct ShortcutLink {
  IShellLinkW* link;
  IPersistFile* file;
  IShellLinkDataList* data_list;  // optional: null when the link object does not offer it
};

// Creates the link object and queries its interfaces. Returns S_OK, or the failing result with
// `*failed_call` naming the call ("CoCreateInstance(IID_IShellLink)",
// "QueryInterface(IID_IPersistFile)"); nothing is left to release then.
HRESULT ShortcutLinkCreate(ShortcutLink* link, const char16_t** failed_call);

// Sets the fields in the link's order: path, show command, arguments, working folder, description,
// icon location, then the run-as-administrator flag.
void ShortcutLinkSet(const ShortcutLink& link, const ShortcutLinkFields& fields);

// Saves the link to `path` (remembered as the link's file). Returns S_OK or the failing result.
HRESULT ShortcutLinkSave(const ShortcutLink& link, const char16_t* path);

void ShortcutLinkRelease(ShortcutLink* link);
