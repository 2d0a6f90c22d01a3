#include "ui/dialog_resources.h"

#include <cstring>

#include "resources/dialog_ids.h"
#include "runtime/heap.h"
#include "runtime/modules.h"
#include "runtime/proc_address.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/control_records.h"

namespace {

constexpr size_t kFontRecordSize = 92;  // LOGFONTW
constexpr uint32_t kMaxFonts = 16;

using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
using IsAppThemedFunction = BOOL(WINAPI*)();

struct Font {
  uint32_t id;
  HFONT font;
};

struct CachedBrush {
  COLORREF colour;
  HBRUSH brush;
};

struct EngineResources {
  HMODULE uxtheme;
  SetWindowThemeFunction set_window_theme;
  HBRUSH hollow;
  Font fonts[kMaxFonts];
  uint32_t font_count;
  CachedBrush* brushes;
  uint32_t brush_count;
  uint32_t brush_capacity;
};

EngineResources g_engine;

int32_t Dpi(bool vertical) {
  SessionState* s = SessionCurrent();
  int32_t dpi = s ? (vertical ? s->display_dpi_y : s->display_dpi_x) : 0;
  if (dpi > 0) return dpi;
  HDC screen = GetDC(nullptr);
  dpi = screen ? GetDeviceCaps(screen, vertical ? LOGPIXELSY : LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void LoadThemes() {
  g_engine.uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto isAppThemed = ProcAddress<IsAppThemedFunction>(g_engine.uxtheme, "IsAppThemed");
  if (isAppThemed && isAppThemed())
    g_engine.set_window_theme = ProcAddress<SetWindowThemeFunction>(g_engine.uxtheme, "SetWindowTheme");
}

BOOL CALLBACK CreateFontOfRecord(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR) {
  if (!IS_INTRESOURCE(name) || g_engine.font_count == kMaxFonts) return TRUE;
  HRSRC found = FindResourceW(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* record = loaded ? LockResource(loaded) : nullptr;
  if (!record || SizeofResource(module, found) < kFontRecordSize) return TRUE;
  LOGFONTW font;
  memcpy(&font, record, sizeof font);
  font.lfHeight = -DialogPointsToPixels(font.lfHeight);
  HFONT created = CreateFontIndirectW(&font);
  if (!created) {
    Trace(TR("W3220"), u"%u|%lu", uint32_t(reinterpret_cast<uintptr_t>(name)), GetLastError());
    return TRUE;
  }
  g_engine.fonts[g_engine.font_count++] = Font{uint32_t(reinterpret_cast<uintptr_t>(name)), created};
  return TRUE;
}

}  // namespace

void DialogResourcesLoad() {
  LoadThemes();
  g_engine.hollow = static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
  EnumResourceNamesW(ModuleInstance(), MAKEINTRESOURCEW(RT_FONT_RECORD), CreateFontOfRecord, 0);
  Trace(TR("I3221"), u"%u|%d", g_engine.font_count, g_engine.set_window_theme ? 1 : 0);
}

void DialogResourcesRelease() {
  for (uint32_t i = 0; i < g_engine.font_count; ++i) DeleteObject(g_engine.fonts[i].font);
  for (uint32_t i = 0; i < g_engine.brush_count; ++i) DeleteObject(g_engine.brushes[i].brush);
  MemFree(g_engine.brushes);
  if (g_engine.uxtheme) FreeLibrary(g_engine.uxtheme);
  g_engine = EngineResources{};
}

HFONT DialogFont(uint32_t id) {
  for (uint32_t i = 0; i < g_engine.font_count; ++i)
    if (g_engine.fonts[i].id == id) return g_engine.fonts[i].font;
  return nullptr;
}

HBRUSH DialogHollowBrush() {
  return g_engine.hollow ? g_engine.hollow : static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

COLORREF DialogColour(uint32_t recordColour) {
  if (recordColour & kSystemColourFlag) return GetSysColor(int(recordColour & 0xFFFF));
  return recordColour & 0xFFFFFF;
}

HBRUSH DialogBrushForColour(uint32_t recordColour) {
  if (recordColour & kSystemColourFlag) return GetSysColorBrush(int(recordColour & 0xFFFF));
  COLORREF colour = recordColour & 0xFFFFFF;
  for (uint32_t i = 0; i < g_engine.brush_count; ++i)
    if (g_engine.brushes[i].colour == colour) return g_engine.brushes[i].brush;
  HBRUSH brush = CreateSolidBrush(colour);
  if (!brush) return GetSysColorBrush(COLOR_BTNFACE);
  if (g_engine.brush_count == g_engine.brush_capacity) {
    uint32_t capacity = uint32_t(MemGrowCapacity(g_engine.brush_capacity, g_engine.brush_count + 1, 0xFFFF));
    auto* grown = static_cast<CachedBrush*>(MemRealloc(g_engine.brushes, capacity * sizeof(CachedBrush)));
    if (!grown) {
      DeleteObject(brush);
      return GetSysColorBrush(COLOR_BTNFACE);
    }
    g_engine.brushes = grown;
    g_engine.brush_capacity = capacity;
  }
  g_engine.brushes[g_engine.brush_count++] = CachedBrush{colour, brush};
  return brush;
}

void DialogDisableTheme(HWND window) {
  if (g_engine.set_window_theme) g_engine.set_window_theme(window, L"", L"");
}

int32_t DialogPointsToPixels(int32_t points) { return MulDiv(points, Dpi(true), 72); }
int32_t DialogScaleX(int32_t pixels96) { return MulDiv(pixels96, Dpi(false), 96); }
int32_t DialogScaleY(int32_t pixels96) { return MulDiv(pixels96, Dpi(true), 96); }
