// a212 Standard file dialog: a folder, a file to open or a file to save, chosen by the user into a
// variable.
#pragma once
#include "database/class_descriptor.h"

// Modes (slot 28).
enum : int32_t {
  kFileDialogFolder = 0,  // the folder browser; the default name is appended to the chosen folder
  kFileDialogOpen = 1,
  kFileDialogSave = 2,
};

constexpr size_t kFileDialogResultCapacity = 1032;  // characters, with the terminator
constexpr char16_t kFileDialogFilterSeparator = 0x1F;

extern const ActionMethods kFileDialogMethods;
