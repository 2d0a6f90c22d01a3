#include "tests/ui/screenshot.h"

#include <zlib.h>

#include <string>
#include <vector>

#include "tests/runtime/windows_test_support.h"

namespace {

void PutU32(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(char(value >> shift));
}

void Chunk(std::string* png, const char* type, const std::string& data) {
  PutU32(png, uint32_t(data.size()));
  std::string body = std::string(type, 4) + data;
  png->append(body);
  PutU32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// RGB rows (each led by filter byte 0) compressed into a PNG.
std::string Png(const std::vector<uint8_t>& bgra, int width, int height) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &bgra[size_t(y * width + x) * 4];
      raw.push_back(char(p[2]));
      raw.push_back(char(p[1]));
      raw.push_back(char(p[0]));
    }
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
            6);
  packed.resize(size);
  std::string header;
  PutU32(&header, uint32_t(width));
  PutU32(&header, uint32_t(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  std::string png("\x89PNG\r\n\x1a\n", 8);
  Chunk(&png, "IHDR", header);
  Chunk(&png, "IDAT", packed);
  Chunk(&png, "IEND", "");
  return png;
}

}  // namespace

bool ScreenshotOfWindow(HWND window, const std::u16string& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  rect.left = rect.left < 0 ? 0 : rect.left;
  rect.top = rect.top < 0 ? 0 : rect.top;
  int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (rect.right > screenWidth) rect.right = screenWidth;
  if (rect.bottom > screenHeight) rect.bottom = screenHeight;
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT) != FALSE;
  std::vector<uint8_t> pixels(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + size_t(width) * height * 4);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!copied) return false;
  test_support::WriteBytes(path, Png(pixels, width, height));
  return true;
}

std::u16string ScreenshotFolder() {
  std::u16string folder = test_support::ProgramFolder() + u"screenshots";
  CreateDirectoryW(test_support::W(folder), nullptr);
  return folder + u"\\";
}
