// The few operating-system services that the portable code needs: clock, last-error value and
// plain file access. Implemented for Windows (platform_win.cpp) and for the host (platform_host.cpp).
#pragma once
#include <cstdint>

// Current time as a FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
uint64_t PlatformNowFileTime();
// The calling thread's last-error value (Windows); 0 and a no-op elsewhere.
uint32_t PlatformLastError();
void PlatformSetLastError(uint32_t error);

// The value of environment variable `name` into `buffer` (`capacity` characters with the NUL).
// Returns 0 when the variable is not set (the buffer is then emptied), else the value's length;
// a value of `capacity` characters or more is not copied (call again with a larger buffer).
uint32_t PlatformGetEnvironment(const char16_t* name, char16_t* buffer, uint32_t capacity);
// Sets (`value` not null) or removes an environment variable of this process.
void PlatformSetEnvironment(const char16_t* name, const char16_t* value);

// Conversions between UTF-16 and the ANSI code page (Windows; Latin-1 elsewhere), without
// terminators. Each returns the number of units written, at most `capacity`; a text that does not
// fit is cut. Unmappable characters become the code page's default character.
uint32_t PlatformAnsiToText(const char* bytes, uint32_t count, char16_t* out, uint32_t capacity);
uint32_t PlatformTextToAnsi(const char16_t* text, uint32_t count, char* out, uint32_t capacity);

// Windows file attribute bits.
enum : uint32_t {
  kAttributeReadOnly = 0x1,
  kAttributeHidden = 0x2,
  kAttributeSystem = 0x4,
  kAttributeDirectory = 0x10,
  kAttributeArchive = 0x20,
  kAttributeNormal = 0x80,
  kAttributeInvalid = 0xFFFFFFFF,
};

using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

enum : uint32_t {
  kFileShareRead = 0x1,    // others may read while the file is open
  kFileSequential = 0x2,   // hint: read front to back
};

// Opens an existing file for reading. Returns 0 or a Windows error (2, 3, 5, 32, ...).
uint32_t FileOpenRead(const char16_t* path, uint32_t flags, FileHandle* file);
// Creates or replaces a file for writing, normal attributes.
uint32_t FileCreateWrite(const char16_t* path, uint32_t flags, FileHandle* file);
// Opens an existing file for reading and writing in place, not shared (to patch what was written).
uint32_t FileOpenReadWrite(const char16_t* path, FileHandle* file);
// Reads up to `count` bytes; `*got` < count only at the end of the file.
uint32_t FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got);
uint32_t FileWrite(FileHandle file, const void* buffer, uint32_t count);
uint32_t FileSeek(FileHandle file, uint64_t position);
uint32_t FileSize(FileHandle file, uint64_t* size);
uint32_t FileSetLastWriteTime(FileHandle file, uint64_t filetime);
uint32_t FileClose(FileHandle file);

uint32_t FileGetAttributes(const char16_t* path, uint32_t* attributes);
uint32_t FileSetAttributes(const char16_t* path, uint32_t attributes);
// Attributes, times (FILETIME) and size of an existing file or folder.
struct FileFacts {
  uint32_t attributes;
  uint64_t creation_time;
  uint64_t last_write_time;
  uint64_t size;
};
uint32_t FileGetFacts(const char16_t* path, FileFacts* facts);
uint32_t FileDelete(const char16_t* path);
// Moves file `from` over `to` in one step (same volume): `to` is either its old or its new content,
// never a mix. A read-only `to` is refused (5).
uint32_t FileReplace(const char16_t* from, const char16_t* to);
