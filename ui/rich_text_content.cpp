#include "ui/rich_text_content.h"

#include <richedit.h>

#include <cstring>

#include "resources/dialog_ids.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "ui/dialog_template.h"

namespace {

constexpr size_t kMinimumRtfBytes = 7;
constexpr uint64_t kMaximumFileBytes = 16777216;

struct StreamSource {
  const uint8_t* data;
  size_t size;
  size_t offset;
};

DWORD CALLBACK ReadSource(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  size_t left = source->size - source->offset;
  size_t count = left < size_t(wanted) ? left : size_t(wanted);
  memcpy(buffer, source->data + source->offset, count);
  source->offset += count;
  *got = LONG(count);
  return 0;
}

void StreamIn(HWND window, const void* data, size_t size, WPARAM format) {
  StreamSource source{static_cast<const uint8_t*>(data), size, 0};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadSource;
  SendMessageW(window, EM_SETREADONLY, FALSE, 0);
  SendMessageW(window, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
  SendMessageW(window, EM_SETREADONLY, TRUE, 0);
}

bool StartsWith(const char16_t* text, const char16_t* prefix) {
  while (*prefix && *text == *prefix) ++text, ++prefix;
  return *prefix == 0;
}

void LoadPlain(HWND window, const char16_t* text) {
  StreamIn(window, text, TextLength(text) * sizeof(char16_t), SF_TEXT | SF_UNICODE);
}

// Plain text bytes as UTF-16 (heap block, MemFree).
char16_t* DecodePlain(const uint8_t* data, size_t size) {
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    size_t count = (size - 2) / 2;
    auto* text = MemNew<char16_t>(count + 1);
    memcpy(text, data + 2, count * 2);
    return text;
  }
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    data += 3;
    size -= 3;
  }
  UINT codePage = CP_UTF8;
  DWORD flags = MB_ERR_INVALID_CHARS;
  int count = MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(data), int(size), nullptr, 0);
  if (count <= 0 && size) {
    codePage = CP_ACP;
    flags = 0;
    count = MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(data), int(size), nullptr, 0);
  }
  if (count < 0) count = 0;
  auto* text = MemNew<char16_t>(size_t(count) + 1);
  if (count) MultiByteToWideChar(codePage, flags, reinterpret_cast<const char*>(data), int(size),
                                 reinterpret_cast<wchar_t*>(text), count);
  return text;
}

DWORD CALLBACK WriteToFile(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* written) {
  DWORD done = 0;
  BOOL ok = WriteFile(reinterpret_cast<HANDLE>(cookie), buffer, DWORD(count), &done, nullptr);
  *written = LONG(done);
  return ok ? 0 : GetLastError();
}

}  // namespace

bool RichTextSaveRtf(HWND window, HANDLE file) {
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(file);
  stream.pfnCallback = WriteToFile;
  SendMessageW(window, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  return stream.dwError == 0;
}

bool RichTextIsRtf(const uint8_t* data, size_t size) {
  if (size < kMinimumRtfBytes) return false;
  return memcmp(data, "{\\rtf1", 6) == 0 || memcmp(data, "{\\urtf1", 7) == 0;
}

void RichTextLoadBytes(HWND window, const uint8_t* data, size_t size) {
  if (RichTextIsRtf(data, size)) {
    StreamIn(window, data, size, SF_RTF);
    return;
  }
  char16_t* text = DecodePlain(data, size);
  LoadPlain(window, text);
  MemFree(text);
}

void RichTextLoadResource(HWND window, uint32_t id) {
  size_t size = 0;
  const uint8_t* data = id ? DialogResourceData(MAKEINTRESOURCEW(RT_RICH_TEXT), id, &size) : nullptr;
  RichTextLoadBytes(window, data ? data : reinterpret_cast<const uint8_t*>(""), data ? size : 0);
}

bool RichTextLoadFile(HWND window, const char16_t* path) {
  DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool loaded = false;
  if (GetFileSizeEx(file, &size) && uint64_t(size.QuadPart) <= kMaximumFileBytes) {
    auto* data = static_cast<uint8_t*>(MemAlloc(size_t(size.QuadPart) + 1));
    DWORD got = 0;
    if (data && ReadFile(file, data, DWORD(size.QuadPart), &got, nullptr)) {
      RichTextLoadBytes(window, data, got);
      loaded = true;
    }
    MemFree(data);
  }
  CloseHandle(file);
  return loaded;
}

void RichTextLoadText(HWND window, const char16_t* text) {
  size_t length = TextLength(text);
  bool rtf = StartsWith(text, u"{\\rtf1") || StartsWith(text, u"{\\urtf1");
  if (!rtf || length < kMinimumRtfBytes) {
    LoadPlain(window, text);
    return;
  }
  int bytes = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text), int(length), nullptr, 0,
                                  nullptr, nullptr);
  auto* data = static_cast<char*>(MemAlloc(size_t(bytes) + 1));
  if (!data) return;
  WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text), int(length), data, bytes, nullptr, nullptr);
  StreamIn(window, data, size_t(bytes), SF_RTF);
  MemFree(data);
}

uint32_t RichTextResourceId(const char16_t* text) {
  if (!text || text[0] != u'#' || !text[1]) return 0;
  uint32_t id = 0;
  for (const char16_t* digit = text + 1; *digit; ++digit) {
    if (*digit < u'0' || *digit > u'9' || id > 0xFFFF) return 0;
    id = id * 10 + uint32_t(*digit - u'0');
  }
  return id <= 0xFFFF ? id : 0;
}
