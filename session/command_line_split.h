// Splitting a command line into arguments, with response files.
//
// Tokens are separated by characters up to code 32. Within a token, a part enclosed in double
// quotes, single quotes or back quotes is taken literally without its quotes; a doubled quote
// character inside such a part stands for one. With response files, a token that begins with "@"
// (and not with a single or back quote) names a file whose lines are split the same way: lines
// beginning with "#" are comments, %NAME% environment references are expanded in every token that
// does not begin with "-", "/" or a single or back quote, and nested "@" files are allowed. A file
// that cannot be read is kept as an ordinary argument ("@" included); an empty one adds nothing.
#pragma once
#include <cstddef>
#include <cstdint>

#include "session/argument_vector.h"

// Limits that keep a hostile or broken response file from taking unbounded time or memory. A file
// beyond them is kept as an ordinary argument (with a W record).
constexpr uint32_t kResponseFileMaxBytes = 4u << 20;        // one file
constexpr uint32_t kResponseFileMaxDepth = 8;                // files within files
constexpr uint32_t kResponseFileMaxFiles = 64;               // files read for one command line
constexpr uint32_t kCommandLineMaxArguments = 65536;         // further tokens are dropped (W record)

// Appends the arguments of `text` to `vector`. The first token (the program path) is taken as it
// stands; with `response_files` the "@" tokens after it are read as described above.
void CommandLineSplit(const char16_t* text, bool response_files, ArgumentVector* vector);

// Decodes the bytes of a response file: UTF-8 after EF BB BF, UTF-16 little-endian after FF FE,
// big-endian after FE FF, else the ANSI code page. Returns a heap block (MemFree) and its length.
char16_t* ResponseFileDecode(const uint8_t* bytes, size_t count, size_t* length);

// A copy of `text` (heap block, MemFree) in which the value of every password switch ("/p:" or
// "-p:", any case) reads "*HIDDEN*", for the log.
char16_t* CommandLineHidePasswords(const char16_t* text);

// True for an argument "/p:..." or "-p:..." (any case).
bool IsPasswordSwitch(const char16_t* argument);
