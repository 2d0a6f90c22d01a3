// The two rules of a shortcut's texts that need no shell: whether a target is an address or a path,
// and the name of the shortcut file.
#pragma once
#include <cstddef>

// True when the target is an address: a colon at character position 2 or later (a scheme of two or
// more characters before it, "https:", "mailto:"). "C:\..." and a name without a colon are paths.
bool ShortcutTargetIsAddress(const char16_t* target);

// Writes `folder` + "\" + `name` + ".lnk" into [start, end], with exactly one separator between
// folder and name; returns the end of the text written (cut at `end`).
char16_t* ShortcutFileName(char16_t* start, char16_t* end, const char16_t* folder, const char16_t* name);

// The folder part of a path (everything before the last "\" or "/") into [start, end]; an empty
// text when the path has no separator. The root of a drive keeps its separator ("C:\\").
char16_t* ShortcutTargetFolder(char16_t* start, char16_t* end, const char16_t* target);
