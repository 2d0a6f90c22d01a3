#include "runtime/file_text.h"

#include <windows.h>

#include "runtime/errors.h"
#include "runtime/heap.h"

namespace {

struct Mapped {
  const uint8_t* bytes;
  size_t size;
};

uint32_t Detect(const Mapped& m, size_t* skip) {
  const uint8_t* b = m.bytes;
  *skip = 0;
  if (m.size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return *skip = 3, kTextEncodingUtf8;
  if (m.size >= 2 && b[0] == 0xFF && b[1] == 0xFE) return *skip = 2, kTextEncodingUtf16LE;
  if (m.size >= 2 && b[0] == 0xFE && b[1] == 0xFF) return *skip = 2, kTextEncodingUtf16BE;
  return kTextEncodingCodePage;
}

// Converts the body into a new heap text; returns 0 or an error.
uint32_t Convert(const uint8_t* body, size_t size, uint32_t encoding, uint32_t codePage, char16_t** text,
                 size_t* length) {
  size_t count = 0;
  UINT page = encoding == kTextEncodingUtf8 ? CP_UTF8 : codePage ? codePage : CP_ACP;
  bool wide = encoding == kTextEncodingUtf16LE || encoding == kTextEncodingUtf16BE;
  if (wide) {
    count = size / 2;
  } else if (size) {
    int n = MultiByteToWideChar(page, 0, reinterpret_cast<LPCCH>(body), int(size), nullptr, 0);
    if (n <= 0) return GetLastError();
    count = size_t(n);
  }
  auto* out = static_cast<char16_t*>(MemAlloc((count + 1) * sizeof(char16_t)));
  if (!out) return ERROR_NOT_ENOUGH_MEMORY;
  if (wide) {
    for (size_t i = 0; i < count; ++i) {
      uint8_t a = body[2 * i], b = body[2 * i + 1];
      out[i] = encoding == kTextEncodingUtf16LE ? char16_t(a | b << 8) : char16_t(a << 8 | b);
    }
  } else if (size &&
             MultiByteToWideChar(page, 0, reinterpret_cast<LPCCH>(body), int(size), reinterpret_cast<LPWSTR>(out),
                                 int(count)) <= 0) {
    DWORD err = GetLastError();
    MemFree(out);
    return err;
  }
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i)
    if (out[i] != u'\r') out[kept++] = out[i];
  out[kept] = 0;
  *text = out;
  *length = kept;
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t FileReadText(const char16_t* path, uint32_t codePage, char16_t** text, size_t* length, uint32_t* encoding) {
  *text = nullptr;
  *length = 0;
  *encoding = kTextEncodingCodePage;
  HANDLE file = CreateFileW(reinterpret_cast<LPCWSTR>(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  uint32_t err = ERROR_SUCCESS;
  HANDLE mapping = nullptr;
  const void* view = nullptr;
  Mapped m{nullptr, 0};
  size_t skip = 0;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    err = GetLastError();
    goto done;
  }
  if (uint64_t(size.QuadPart) > kFileTextMaxBytes) {
    err = ERROR_NOT_ENOUGH_MEMORY;
    goto done;
  }
  if (size.QuadPart > 0) {  // an empty file cannot be mapped
    mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping || !(view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))) {
      err = GetLastError();
      goto done;
    }
    m = Mapped{static_cast<const uint8_t*>(view), size_t(size.QuadPart)};
  }
  *encoding = Detect(m, &skip);
  err = Convert(m.bytes + skip, m.size - skip, *encoding, codePage, text, length);
done:
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  CloseHandle(file);
  return err;
}
