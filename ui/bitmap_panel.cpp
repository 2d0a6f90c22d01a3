#include "ui/bitmap_panel.h"

#include "runtime/modules.h"
#include "runtime/trace.h"
#include "session/session_state.h"

namespace {

constexpr UINT kClassStyle = 0x4003;  // CS_SAVEBITS | CS_HREDRAW | CS_VREDRAW
constexpr int kBitmapSlot = 0;
constexpr int kPaletteSlot = sizeof(LONG_PTR);
constexpr int32_t kBaseDpi = 96;

struct ScaleVariant {
  int32_t scale;   // percent the display must reach
  uint32_t offset; // added to the base resource id
  int32_t dpi;     // the dpi the variant is made for
};
const ScaleVariant kVariants[] = {{300, 4000, 288}, {200, 3000, 192}, {150, 2000, 144}, {125, 1000, 120}};

HBITMAP BitmapOf(HWND window) { return reinterpret_cast<HBITMAP>(GetWindowLongPtrW(window, kBitmapSlot)); }
HPALETTE PaletteOf(HWND window) { return reinterpret_cast<HPALETTE>(GetWindowLongPtrW(window, kPaletteSlot)); }

bool BitmapExists(uint32_t id) { return FindResourceW(ModuleInstance(), MAKEINTRESOURCEW(id), RT_BITMAP) != nullptr; }

SessionState* Session() { return SessionCurrent(); }

int32_t ScreenDpi() {
  SessionState* s = Session();
  return s && s->display_dpi_x > 0 ? s->display_dpi_x : kBaseDpi;
}

// The id named by the creation text: "#64", a decimal text, or an ordinal of the template.
uint32_t BitmapIdOf(LPCWSTR name) {
  if (!name) return 0;
  if (IS_INTRESOURCE(name)) return uint32_t(reinterpret_cast<uintptr_t>(name));
  if (name[0] == 0xFFFF) return name[1];
  if (*name == L'#') ++name;
  uint32_t id = 0;
  for (; *name >= L'0' && *name <= L'9'; ++name) id = id * 10 + uint32_t(*name - L'0');
  return *name ? 0 : id;
}

// The bitmap's size on the screen: its pixels scaled from the dpi it is made for.
SIZE ShownSize(HWND window) {
  BITMAP info{};
  GetObjectW(BitmapOf(window), sizeof info, &info);
  if (GetWindowLongW(window, GWL_STYLE) & kBitmapRealPixels) return SIZE{info.bmWidth, info.bmHeight};
  auto dpi = int32_t(reinterpret_cast<intptr_t>(GetPropW(window, L"QelBitmapDpi")));
  if (dpi <= 0) dpi = kBaseDpi;
  return SIZE{MulDiv(info.bmWidth, ScreenDpi(), dpi), MulDiv(info.bmHeight, ScreenDpi(), dpi)};
}

void Load(HWND window, const CREATESTRUCTW* create) {
  SessionState* s = Session();
  int32_t dpi = kBaseDpi;
  uint32_t id = BitmapIdOf(create->lpszName);
  if (id) id = BitmapForScale(id, s ? s->display_scale : 100, BitmapExists, &dpi);
  auto bitmap = id ? static_cast<HBITMAP>(LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                                                     LR_CREATEDIBSECTION))
                   : nullptr;
  if (!bitmap) {
    Trace(TR("W3228"), u"%u|%lu", id, GetLastError());
    return;
  }
  SetWindowLongPtrW(window, kBitmapSlot, reinterpret_cast<LONG_PTR>(bitmap));
  SetPropW(window, L"QelBitmapDpi", reinterpret_cast<HANDLE>(intptr_t(dpi)));
  if (s && s->display_bits <= 8) {
    HDC screen = GetDC(window);
    SetWindowLongPtrW(window, kPaletteSlot, reinterpret_cast<LONG_PTR>(CreateHalftonePalette(screen)));
    ReleaseDC(window, screen);
  }
  if (create->style & kBitmapSizeWindow) {
    SIZE size = ShownSize(window);
    SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The colour around a centred bitmap: its first pixel of the top row (the last one in a
// right-to-left layout), through the palette when there is one.
COLORREF FillColour(HWND window, HDC memory, const BITMAP& info) {
  bool rightToLeft = GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL;
  COLORREF colour = GetPixel(memory, rightToLeft ? info.bmWidth - 1 : 0, 0);
  if (PaletteOf(window)) colour = PALETTERGB(GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return colour == CLR_INVALID ? GetSysColor(COLOR_BTNFACE) : colour;
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  HBITMAP bitmap = BitmapOf(window);
  bool transparent = GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TRANSPARENT;
  if (HPALETTE palette = PaletteOf(window)) {
    SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
  }
  if (!bitmap) {
    if (!transparent) FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    EndPaint(window, &paint);
    return;
  }
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  RECT target = client;
  if (style & (kBitmapSizeWindow | kBitmapCentred)) {
    SIZE size = ShownSize(window);
    LONG left = (style & kBitmapCentred) ? (client.right - size.cx) / 2 : 0;
    LONG top = (style & kBitmapCentred) ? (client.bottom - size.cy) / 2 : 0;
    target = RECT{left, top, left + size.cx, top + size.cy};
    if (!transparent) {
      HBRUSH fill = CreateSolidBrush((style & kBitmapCentred) ? FillColour(window, memory, info)
                                                              : GetSysColor(COLOR_BTNFACE));
      HRGN around = CreateRectRgnIndirect(&client);
      HRGN inside = CreateRectRgnIndirect(&target);
      CombineRgn(around, around, inside, RGN_DIFF);
      FillRgn(dc, around, fill);
      DeleteObject(inside);
      DeleteObject(around);
      DeleteObject(fill);
    }
  }
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, memory, 0, 0,
             info.bmWidth, info.bmHeight, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
  EndPaint(window, &paint);
}

LRESULT RealizeOwnPalette(HWND window, bool foreground) {
  HPALETTE palette = PaletteOf(window);
  if (!palette) return FALSE;
  HDC dc = GetDC(window);
  HPALETTE previous = SelectPalette(dc, palette, foreground ? FALSE : TRUE);
  UINT changed = RealizePalette(dc);
  if (foreground && changed) InvalidateRect(window, nullptr, FALSE);
  if (!foreground) UpdateColors(dc);
  SelectPalette(dc, previous, TRUE);
  ReleaseDC(window, dc);
  return changed ? TRUE : FALSE;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      if (create->style & kBitmapClientEdge) SetWindowLongW(window, GWL_EXSTYLE, create->dwExStyle | WS_EX_CLIENTEDGE);
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_CREATE:
      Load(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_SETTEXT:
      return TRUE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return 0;
    case WM_QUERYNEWPALETTE:
      return RealizeOwnPalette(window, true);
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wParam) != window) RealizeOwnPalette(window, false);
      return 0;
    case WM_DESTROY:
      if (HBITMAP bitmap = BitmapOf(window)) DeleteObject(bitmap);
      if (HPALETTE palette = PaletteOf(window)) DeleteObject(palette);
      SetWindowLongPtrW(window, kBitmapSlot, 0);
      SetWindowLongPtrW(window, kPaletteSlot, 0);
      RemovePropW(window, L"QelBitmapDpi");
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

uint32_t BitmapForScale(uint32_t id, int32_t scale, bool (*exists)(uint32_t id), int32_t* dpi) {
  *dpi = kBaseDpi;
  for (const ScaleVariant& variant : kVariants) {
    if (scale < variant.scale || id + variant.offset > 0xFFFF || !exists(id + variant.offset)) continue;
    *dpi = variant.dpi;
    return id + variant.offset;
  }
  return id;
}

bool BitmapPanelRegisterClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = kClassStyle;
  windowClass.lpfnWndProc = Procedure;
  windowClass.cbWndExtra = 2 * sizeof(LONG_PTR);
  windowClass.hInstance = ModuleInstance();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kBitmapPanelClass;
  if (RegisterClassExW(&windowClass)) return true;
  Trace(TR("E3229"), u"%s|%lu", u"QELBMP", GetLastError());
  return false;
}

void BitmapPanelUnregisterClass() { UnregisterClassW(kBitmapPanelClass, ModuleInstance()); }
