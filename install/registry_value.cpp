#include "install/registry_value.h"

#include "expr/registry_text.h"
#include "install/registry_data.h"
#include "install/registry_key.h"
#include "runtime/heap.h"
#include "runtime/number_parse.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

constexpr DWORD kFirstSize = 520;
constexpr DWORD kTextLimit = 65536;

LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

// Reads the data into a heap block with two zero bytes after it; `limit` 0 means no limit.
LSTATUS ReadData(HKEY key, const char16_t* name, DWORD limit, DWORD* type, uint8_t** data, DWORD* size) {
  DWORD capacity = kFirstSize;
  for (;;) {
    auto* block = static_cast<uint8_t*>(MemAlloc(capacity + 2));
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD got = capacity;
    LSTATUS status = RegQueryValueExW(key, W(name), nullptr, type, block, &got);
    if (status == ERROR_SUCCESS) {
      block[got] = block[got + 1] = 0;
      *data = block;
      *size = got;
      return ERROR_SUCCESS;
    }
    MemFree(block);
    if (status != ERROR_MORE_DATA) return status;
    if (limit && capacity >= limit) return ERROR_MORE_DATA;
    DWORD grown = capacity + 256;
    capacity = got > grown ? got : grown;
    if (limit && capacity > limit) {
      if (got > limit) return ERROR_MORE_DATA;
      capacity = limit;
    }
  }
}

void ExpandedText(char16_t* start, char16_t* end, const char16_t* text) {
  DWORD needed = ExpandEnvironmentStringsW(W(text), nullptr, 0);
  auto* expanded = static_cast<wchar_t*>(needed ? MemAlloc(needed * sizeof(wchar_t)) : nullptr);
  if (expanded && ExpandEnvironmentStringsW(W(text), expanded, needed) - 1 < needed)
    TextCopy(start, end, reinterpret_cast<const char16_t*>(expanded));
  else
    TextCopy(start, end, text);
  MemFree(expanded);
}

bool Missing(uint32_t error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

uint32_t DeleteValue(const char16_t* path, const char16_t* name, int32_t view, int32_t* actual_view) {
  HKEY key;
  uint32_t err = RegistryOpenKey(path, name, view, KEY_SET_VALUE | KEY_QUERY_VALUE, &key, actual_view);
  if (err == ERROR_SUCCESS) {
    err = uint32_t(Sys().RegDeleteValueW(key, W(name)));
    RegCloseKey(key);
  }
  if (Missing(err)) err = ERROR_SUCCESS;
  return err;
}

}  // namespace

uint32_t RegistryReadValueBytes(const char16_t* path, const char16_t* name, int32_t view,
                                RegistryValueBytes* value, int32_t* actual_view) {
  *value = RegistryValueBytes{};
  HKEY key;
  uint32_t err = RegistryOpenKey(path, name, view, KEY_QUERY_VALUE, &key, actual_view);
  if (err == ERROR_SUCCESS) {
    DWORD type = REG_NONE, size = 0;
    err = uint32_t(ReadData(key, name, 0, &type, &value->data, &size));
    RegCloseKey(key);
    if (err == ERROR_SUCCESS) {
      value->exists = true;
      value->type = type;
      value->size = size;
    }
  }
  return Missing(err) ? ERROR_SUCCESS : err;
}

void RegistryValueBytesFree(RegistryValueBytes* value) {
  MemFree(value->data);
  *value = RegistryValueBytes{};
}

uint32_t RegistryReadValueText(const char16_t* path, const char16_t* name, int32_t view, bool expand,
                               char16_t* start, char16_t* end, DWORD* type, int32_t* actual_view) {
  TextCopy(start, end, u"");
  *type = REG_NONE;
  HKEY key;
  uint32_t err = RegistryOpenKey(path, name, view, KEY_QUERY_VALUE, &key, actual_view);
  if (err != ERROR_SUCCESS) return err;
  uint8_t* data = nullptr;
  DWORD size = 0;
  err = uint32_t(ReadData(key, name, kTextLimit, type, &data, &size));
  RegCloseKey(key);
  if (err != ERROR_SUCCESS) return err;
  if (*type == REG_EXPAND_SZ && expand) ExpandedText(start, end, reinterpret_cast<const char16_t*>(data));
  else RegistryDataText(start, end, *type, data, size);
  MemFree(data);
  return ERROR_SUCCESS;
}

uint32_t RegistryReadString(HKEY key, const char16_t* name, bool expand, char16_t* start, char16_t* end) {
  TextCopy(start, end, u"");
  uint8_t* data = nullptr;
  DWORD type = REG_NONE, size = 0;
  LSTATUS status = ReadData(key, name, kTextLimit, &type, &data, &size);
  if (status != ERROR_SUCCESS) return uint32_t(status);
  uint32_t err = ERROR_SUCCESS;
  if (type == REG_EXPAND_SZ && expand) ExpandedText(start, end, reinterpret_cast<const char16_t*>(data));
  else if (type == REG_SZ || type == REG_EXPAND_SZ) RegistryDataText(start, end, type, data, size);
  else err = ERROR_INVALID_DATA;
  MemFree(data);
  return err;
}

uint32_t RegistryReadNumber(HKEY key, const char16_t* name, uint32_t* number) {
  *number = 0;
  uint8_t* data = nullptr;
  DWORD type = REG_NONE, size = 0;
  LSTATUS status = ReadData(key, name, kTextLimit, &type, &data, &size);
  if (status != ERROR_SUCCESS) return uint32_t(status);
  uint32_t err = ERROR_SUCCESS;
  uint32_t little = 0, big = 0;
  for (DWORD i = 0; i < 4 && i < size; ++i) {
    little |= uint32_t(data[i]) << (8 * i);
    big = big << 8 | data[i];
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ)
    *number = uint32_t(NumberParseDecimal64(reinterpret_cast<const char16_t*>(data)));
  else if (type == REG_BINARY || type == REG_DWORD) *number = little;
  else if (type == REG_DWORD_BIG_ENDIAN) *number = big;
  else err = ERROR_INVALID_DATA;
  MemFree(data);
  return err;
}

bool RegistryValueExists(HKEY key, const char16_t* name) {
  if (!name || !*name) return true;
  LSTATUS status = RegQueryValueExW(key, W(name), nullptr, nullptr, nullptr, nullptr);
  return status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
}

uint32_t RegistryWriteValueText(const char16_t* path, const char16_t* name, const char16_t* text, int32_t view,
                                uint32_t type, bool write, int32_t* actual_view) {
  if (!text) text = u"";
  if (!write && !*text) {
    uint32_t err = DeleteValue(path, name, view, actual_view);
    if (err == ERROR_SUCCESS) TraceList(TR("A0030"), 2, path, name);
    else Trace(TR("E0018"), u"%s|%s|%lu", path, name, err);
    return err;
  }
  HKEY key;
  DWORD disposition;
  uint32_t err = RegistryCreateKey(path, name, view, KEY_ALL_ACCESS, &key, &disposition, actual_view);
  if (err != ERROR_SUCCESS) {
    Trace(TR("E0017"), u"%s|%d|%lu", path, view, err);
    return err;
  }
  size_t size = 0;
  uint8_t* data = RegistryTextData(text, type, &size);
  err = data ? uint32_t(Sys().RegSetValueExW(key, W(name), 0, type, data, DWORD(size))) : ERROR_NOT_ENOUGH_MEMORY;
  MemFree(data);
  RegCloseKey(key);
  if (err == ERROR_SUCCESS) TraceList(TR("A0029"), 3, path, name, text);
  else Trace(TR("E0018"), u"%s|%s|%lu", path, name, err);
  return err;
}

uint32_t RegistryWriteTextValue(HKEY key, const char16_t* name, const char16_t* text, uint32_t type) {
  if (!text) text = u"";
  DWORD size = DWORD((TextLength(text) + 1) * sizeof(char16_t));
  return uint32_t(Sys().RegSetValueExW(key, W(name), 0, type, reinterpret_cast<const BYTE*>(text), size));
}

uint32_t RegistryRestoreValueBytes(const char16_t* path, const char16_t* name, int32_t view,
                                   const RegistryValueBytes& value) {
  int32_t actual = view;
  if (!value.exists) return DeleteValue(path, name, view, &actual);
  HKEY key;
  DWORD disposition;
  uint32_t err = RegistryCreateKey(path, name, view, KEY_ALL_ACCESS, &key, &disposition, &actual);
  if (err != ERROR_SUCCESS) return err;
  static const BYTE kNoData = 0;
  err = uint32_t(Sys().RegSetValueExW(key, W(name), 0, value.type, value.data ? value.data : &kNoData, value.size));
  RegCloseKey(key);
  return err;
}
