// Registry values by key path and view: reading any value as text or as its exact bytes, writing a
// value from text, putting exact bytes back.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// A value as found: whether it exists, its type and its data (heap block, MemFree; null when the
// value does not exist or has no data).
struct RegistryValueBytes {
  bool exists;
  uint32_t type;
  uint32_t size;
  uint8_t* data;
};

// Reads the value `name` of the key (open, RegistryOpenKey's views) with all its bytes, whatever
// its size. A missing key or value gives exists = false and 0; other failures their error.
uint32_t RegistryReadValueBytes(const char16_t* path, const char16_t* name, int32_t view,
                                RegistryValueBytes* value, int32_t* actual_view);
void RegistryValueBytesFree(RegistryValueBytes* value);

// Reads the value as text by its type (expr/registry_text.h), expanding REG_EXPAND_SZ when asked.
// The data is read into a buffer of 520 bytes that grows while the system answers ERROR_MORE_DATA
// to the larger of the needed and the current size + 256 bytes, at most 65536 bytes (a larger
// value fails with ERROR_MORE_DATA). Returns 0 or the error; `*type` the value's type.
uint32_t RegistryReadValueText(const char16_t* path, const char16_t* name, int32_t view, bool expand,
                               char16_t* start, char16_t* end, DWORD* type, int32_t* actual_view);

// Reads a REG_SZ or REG_EXPAND_SZ value of an open key (other types: 13), expanded when asked.
uint32_t RegistryReadString(HKEY key, const char16_t* name, bool expand, char16_t* start, char16_t* end);
// Reads a value as a number: REG_SZ and REG_EXPAND_SZ parsed as decimal, REG_BINARY and REG_DWORD
// their first 4 bytes, REG_DWORD_BIG_ENDIAN swapped; other types 13. A missing value gives 0 and
// its error.
uint32_t RegistryReadNumber(HKEY key, const char16_t* name, uint32_t* number);
// True for the empty (default) name, or when the value is there.
bool RegistryValueExists(HKEY key, const char16_t* name);

// Writes the value from text. With `write` clear and an empty text the value is deleted instead (a
// key that does not open counts as deleted; A0030). Otherwise the key is created or opened with full
// access, the text encoded by `type` (install/registry_data.h) and set (A0029, or E0018 on failure;
// E0017 when the key cannot be created). Returns 0 or the error.
uint32_t RegistryWriteValueText(const char16_t* path, const char16_t* name, const char16_t* text, int32_t view,
                                uint32_t type, bool write, int32_t* actual_view);
// Writes a string value of an open key: the text with its NUL (the empty text for null).
uint32_t RegistryWriteTextValue(HKEY key, const char16_t* name, const char16_t* text, uint32_t type);
// Puts a value found earlier back as it was: its exact bytes and type, or deleted when it did not
// exist. Returns 0 or the error.
uint32_t RegistryRestoreValueBytes(const char16_t* path, const char16_t* name, int32_t view,
                                   const RegistryValueBytes& value);
