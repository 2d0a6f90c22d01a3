// Paths put together from parts: a folder and a name joined by one separator, and the folder and
// name parts of a path. Portable.
#pragma once

// `folder` and `name` joined into [start, end]: a "\" goes between them unless the folder is empty
// or already ends in "\" or "/". Returns the end of the text written (cut at `end`).
char16_t* PathJoin(char16_t* start, char16_t* end, const char16_t* folder, const char16_t* name);

// The folder part of `path` (everything before its last "\" or "/") into [start, end]; an empty
// text when the path has no separator. The root of a drive keeps its separator ("C:\"). Returns the
// end of the text written.
char16_t* PathFolderPart(char16_t* start, char16_t* end, const char16_t* path);

// The name part of `path`: what follows its last "\" or "/" (the whole path when it has none).
const char16_t* PathNamePart(const char16_t* path);
