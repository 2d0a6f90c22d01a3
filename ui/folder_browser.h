// The folder browser (template 4 "Browse for Folder"): a path edit field over the shell's folder
// tree, rooted at the desktop. The tree opens at the deepest existing folder of the start path and
// fills each folder's subfolders when it is first expanded.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr int32_t kFolderChosen = IDOK;
constexpr int32_t kFolderCancelled = IDCANCEL;

// Shows the browser modally over `owner` (null: the default owner) with `title` as its caption
// (null or empty: the template's). `path` holds the start path on entry (a bare drive "X:" starts
// at "X:\"); on OK it receives the edit field's text, at most `capacity` characters with the
// terminator, invalid characters made "_" and trailing separators removed (a drive root keeps its
// backslash). Returns kFolderChosen, kFolderCancelled (the buffer unchanged), or -1 when the dialog
// could not be created.
int32_t FolderBrowse(const char16_t* title, HWND owner, char16_t* path, size_t capacity);

// The end of the browser's OK: cleans `path` in place like a log path and strips trailing
// separators, except the one of a drive root ("X:\") and a lone "\".
void FolderBrowseTidy(char16_t* path);
