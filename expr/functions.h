// The built-in functions of `<$name(args)>`. Each receives up to four argument texts (substituted
// and trimmed) and writes its result text; none fails the substitution: on error the result is
// empty (or "0"/"-1" where stated). Numbers are read with base detection unless stated; dates are
// eight-digit texts "%04u%02u%02u"; path arguments lose one pair of surrounding double quotes.
#pragma once
#include <cstddef>

#include "expr/resolver.h"

#define EXPR_FUNCTION(name) char16_t* ExprFn_##name(const ExprCall& call, char16_t* start, char16_t* end)

// Portable (functions_text.cpp, functions_date.cpp, functions_path.cpp, system_tables.cpp).
EXPR_FUNCTION(dateadd);   // date, days (decimal), months, years → date
EXPR_FUNCTION(datediff);  // date1, date2 → whole days from date2 to date1
EXPR_FUNCTION(dateiso);   // date → "%04u-%02u-%02u"
EXPR_FUNCTION(datelocal); // date → the user's short date
EXPR_FUNCTION(eval);      // text → the text substituted once more
EXPR_FUNCTION(fbase);     // path → file name without folder and extension
EXPR_FUNCTION(fdir);      // path → the path without its last component
EXPR_FUNCTION(fext);      // path → the extension, with its dot
EXPR_FUNCTION(fname);     // path → the last component
EXPR_FUNCTION(froot);     // path → drive root ("C:\") or UNC share ("\\server\share")
EXPR_FUNCTION(ifte);      // condition, then, else
EXPR_FUNCTION(iisdata);   // always empty
EXPR_FUNCTION(iispath);   // always empty
EXPR_FUNCTION(instr);     // start, text, find → 1-based position or 0
EXPR_FUNCTION(part);      // text, separator, n → the n-th field
EXPR_FUNCTION(srcpath);   // file key → source folder (variable 408), "\", the file's source path
EXPR_FUNCTION(strsubst);  // text, find, replace
EXPR_FUNCTION(strtrim);   // text
EXPR_FUNCTION(syspath);   // index 0-9 of the system path table
EXPR_FUNCTION(systime);   // seconds (decimal) → UTC seconds since 1601 plus the argument
EXPR_FUNCTION(sysval);    // index 0-35 of the system value table, argument
EXPR_FUNCTION(vercmp);    // version1, version2 → -1, 0 or 1

// Windows (functions_file.cpp, functions_system.cpp).
EXPR_FUNCTION(datenow);   // days, months, years → today shifted like dateadd
EXPR_FUNCTION(errmsg);    // code (empty: variable 456) → the system message text
EXPR_FUNCTION(fagec);     // path → seconds since creation
EXPR_FUNCTION(fagem);     // path → seconds since the last write
EXPR_FUNCTION(fdatec);    // path → local date of creation
EXPR_FUNCTION(fdatem);    // path → local date of the last write
EXPR_FUNCTION(fexist);    // path → "1" file, "-1" folder, "0" absent (wildcards allowed)
EXPR_FUNCTION(fread);     // path, code page → the file's text
EXPR_FUNCTION(fsize);     // path → size in bytes
EXPR_FUNCTION(ftimec);    // path → creation time, seconds since 1601 UTC
EXPR_FUNCTION(ftimem);    // path → last-write time, seconds since 1601 UTC
EXPR_FUNCTION(fverf);     // path → file version
EXPR_FUNCTION(fverfcmp);  // path, version → -1, 0 or 1
EXPR_FUNCTION(fverp);     // path → product version
EXPR_FUNCTION(fverpcmp);  // path, version → -1, 0 or 1
EXPR_FUNCTION(lfn);       // path → long form
EXPR_FUNCTION(rkaccess);  // key path → "1" when it opens for reading, else "0"
EXPR_FUNCTION(sfn);       // path → short (8.3) form
EXPR_FUNCTION(shpath);    // known-folder GUID or CSIDL number → the folder
EXPR_FUNCTION(strlower);  // text → lower case (system case mapping)
EXPR_FUNCTION(strupper);  // text → upper case

// Helpers shared by the function files.
// A path argument without one pair of surrounding double quotes, as an owned copy.
struct PathArgument {
  char16_t* text;
  explicit PathArgument(const char16_t* argument);
  ~PathArgument();
  PathArgument(const PathArgument&) = delete;
  PathArgument& operator=(const PathArgument&) = delete;
};
// Reads an eight-digit date: up to 4 year, 2 month and 2 day digits; month and day clamped to 1-12
// and 1-31.
void ReadDateArgument(const char16_t* text, int* year, int* month, int* day);
// The date shifted by years and months (carried into the year both ways), then by days; without a
// day offset the day is kept as it is (31 January + 1 month is 31 February).
char16_t* DateShifted(char16_t* start, char16_t* end, int year, int month, int day, const char16_t* days,
                      const char16_t* months, const char16_t* years);
// Length of a path's root: 3 for "C:\", 2 for "C:", "\\server\share" up to the share's end, 1 for
// a leading backslash, 0 for a relative path.
size_t PathRootLength(const char16_t* path);
// "-1", "0" or "1".
char16_t* SignText(char16_t* start, char16_t* end, int order);
